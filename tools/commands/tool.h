// The tool as an application: its options and commands, the token chosen,
// the command run and its failure reported. The process around it (locale,
// signals) is main()'s.
#pragma once

namespace tkp30 {

// Parses the command line and runs the command it names; the exit status.
// An Interrupted from the command passes through, for main() to end the
// process by the same signal.
int runTool(int argc, char** argv);

}  // namespace tkp30

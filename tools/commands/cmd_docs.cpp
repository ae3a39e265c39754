// Hidden commands that the build runs to make the manual page and the
// bash completion from the tool's own description.
#include <string>

#include "commands/app_docs.h"
#include "commands/commands.h"
#include "io/file_io.h"

namespace tkp30 {

void addDocumentationCommands(CLI::App& app, Action& action) {
  auto path = std::make_shared<std::string>("-");
  auto* man = app.add_subcommand("__man", "Write the manual page")->group("");
  man->add_option("file", *path, "Where to (default: stdout)");
  man->callback([&app, &action, path] {
    action = [&app, path] { writeTextFile(*path, manPage(app, TKP30_VERSION)); };
  });
  auto* completion = app.add_subcommand("__completion", "Write the bash completion")->group("");
  completion->add_option("file", *path, "Where to (default: stdout)");
  completion->callback([&app, &action, path] {
    action = [&app, path] { writeTextFile(*path, bashCompletion(app)); };
  });
}

}  // namespace tkp30

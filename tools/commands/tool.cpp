#include "commands/tool.h"

#include <cstdio>
#include <iostream>

#include "commands/commands.h"
#include "common/token_shape.h"
#include "io/result_text.h"
#include "io/tool_error.h"
#include "platform/interrupt.h"
#include "token/token_select.h"

#ifndef TKP30_VERSION
#error "the build defines TKP30_VERSION"
#endif

namespace tkp30 {
namespace {

// Results above the tries-left range are raw card status words.

void reportLibraryError(const LibraryError& e) {
  std::cerr << "tkp30: " << e.what() << ": " << describeResult(e.code());
  if (e.code() > common::kMaxTriesLeft) {
    char status[16];
    (void)std::snprintf(status, sizeof status, "0x%04X", static_cast<unsigned>(e.code()));
    std::cerr << " (card status " << status << ")";
  } else {
    std::cerr << " (code " << e.code() << ")";
  }
  std::cerr << e.detail() << "\n";
}

int run(const Action& action) {
  try {
    action();
    return kExitOk;
  } catch (const Interrupted&) {
    throw;
  } catch (const LibraryError& e) {
    reportLibraryError(e);
  } catch (const UsageError& e) {
    std::cerr << "tkp30: " << e.what() << "\nRun with --help for more information.\n";
    return kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << "tkp30: " << e.what() << "\n";
  }
  return kExitFailed;
}

// The parser's words for what went wrong, where they would speak of its
// own workings; otherwise its message as it is.
std::string plainParseMessage(const CLI::App& app, const CLI::ParseError& e) {
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
    const std::string what = e.what();
    return what.substr(0, what.find(':')) + ": a value is missing";
  }
  // A word where a command was wanted: below the deepest command given.
  const CLI::App* given = &app;
  std::string path = "tkp30";
  while (!given->get_subcommands().empty()) {
    given = given->get_subcommands().front();
    path += " " + given->get_name();
  }
  const auto unknown = given->remaining();
  if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr && !unknown.empty())
    return "unknown command \"" + unknown.front() + "\" (" + path + " --help lists them)";
  return e.what();
}

std::string versionText() {
  return std::string("tkp30 ") + TKP30_VERSION + "\nlibnorv_dal_tkp30 " + TKP30_VERSION +
         " (built from the same project as this tool; the library has no call that reports "
         "its version)";
}

void describe(CLI::App& app, TokenChoice& choice) {
  app.require_subcommand(1, 1);
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.set_version_flag("--version", versionText(), "Show the tool's and the library's version");
  auto* emulator = app.add_option("--emulator", choice.emulatorImage,
                                  "Use the emulated token kept in this image file instead of "
                                  "the slots of TKP30_SLOTS")
                       ->type_name("IMAGE");
  app.add_option("--slot", choice.slot, "Use this slot of TKP30_SLOTS (1 to 6) and no other")
      ->type_name("N")
      ->check(numberIn(1, common::kSlotCount))
      ->excludes(emulator);
  app.add_flag("--trace", choice.trace, "Trace every APDU to standard error (secrets masked)");
  app.footer(
      "Without --emulator the token is the first slot of TKP30_SLOTS that opens\n"
      "(for example TKP30_SLOTS='pcsc:' for the first PC/SC reader holding a card).\n"
      "Exit status: 0 success, 1 the operation failed, 2 bad arguments;\n"
      "130, 143 or 129 when ended by Ctrl-C, SIGTERM or SIGHUP.");
}

}  // namespace

int runTool(int argc, char** argv) {
  CLI::App app{"tkp30 - set up, use and diagnose a TKP30 token", "tkp30"};
  TokenChoice choice;
  Action action;
  describe(app, choice);
  addInfoCommands(app, action);
  addSlotsCommand(app, action);
  addPinCommands(app, action);
  addFileCommands(app, action);
  addKeyCommands(app, action);
  addPkiCommands(app, action);
  addCipherCommands(app, action);
  addDemoCommand(app, action);
  addEmulatorCommands(app, action, choice);
  addDocumentationCommands(app, action);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    std::cerr << "tkp30: " << plainParseMessage(app, e)
              << "\nRun with --help for more information.\n";
    return kExitUsage;
  }
  try {
    applyTokenChoice(choice);
  } catch (const UsageError& e) {
    std::cerr << "tkp30: " << e.what() << "\n";
    return kExitUsage;
  }
  return run(action);
}

}  // namespace tkp30

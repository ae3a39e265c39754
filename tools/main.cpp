// tkp30: the token from a shell.
#include <clocale>
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "gbk.h"
#include "token_select.h"
#include "tool_error.h"

namespace tkp30 {
namespace {

// Results above the tries-left range are raw card status words.
constexpr std::int32_t kLargestTriesLeft = 14;

void reportLibraryError(const LibraryError& e) {
  std::cerr << "tkp30: " << e.what() << ": " << libraryMessage(e.code());
  if (e.code() > kLargestTriesLeft) {
    char status[16];
    (void)std::snprintf(status, sizeof status, "0x%04X", static_cast<unsigned>(e.code()));
    std::cerr << " (card status " << status << ")\n";
  } else {
    std::cerr << " (code " << e.code() << ")\n";
  }
}

int run(const Action& action) {
  try {
    action();
    return kExitOk;
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

void describe(CLI::App& app, TokenChoice& choice) {
  app.require_subcommand(1, 1);
  app.add_option("--emulator", choice.emulatorImage,
                 "Use the emulated token kept in this image file instead of the slots of "
                 "TKP30_SLOTS");
  app.add_flag("--trace", choice.trace, "Trace every APDU to standard error (secrets masked)");
  app.footer(
      "Without --emulator the token is the first slot of TKP30_SLOTS that opens\n"
      "(for example TKP30_SLOTS='pcsc:' for the first PC/SC reader holding a card).\n"
      "Exit status: 0 success, 1 the operation failed, 2 bad arguments.");
}

int runTool(int argc, char** argv) {
  CLI::App app{"tkp30 - set up, use and diagnose a TKP30 token", "tkp30"};
  TokenChoice choice;
  Action action;
  describe(app, choice);
  addInfoCommands(app, action);
  addPinCommands(app, action);
  addFileCommands(app, action);
  addKeyCommands(app, action);
  addCipherCommands(app, action);
  addDemoCommand(app, action);
  addEmulatorCommands(app, action, choice);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  applyTokenChoice(choice);
  return run(action);
}

}  // namespace
}  // namespace tkp30

int main(int argc, char** argv) {
  (void)std::setlocale(LC_ALL, "");
  try {
    return tkp30::runTool(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "tkp30: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "tkp30: unexpected failure\n";
  }
  return tkp30::kExitFailed;
}

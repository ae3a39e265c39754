// Commands on an emulated token image itself, beside the library.
#include <filesystem>
#include <iostream>
#include <string>

#include "commands/commands.h"
#include "dmcos.h"
#include "io/tool_error.h"
#include "token/token_lock.h"
#include "token/token_select.h"

namespace tkp30 {
namespace {

struct EmuOptions {
  std::string image;
  const TokenChoice* choice = nullptr;
};

std::string imageOf(const EmuOptions& o) {
  std::string image = o.image.empty() ? o.choice->emulatorImage : o.image;
  if (image.empty())
    throw UsageError("name the token image: emu power-cycle IMAGE, or --emulator IMAGE");
  std::error_code ec;
  if (!std::filesystem::exists(image, ec)) throw Failure("no token image at " + image);
  return image;
}

void powerCycle(const EmuOptions& o) {
  const std::string image = imageOf(o);
  // Power goes away under whatever another program is doing: not in the
  // middle of one of its operations.
  const TokenLock lock;
  char reason[256] = {};
  if (!PowerCycleEmu_UK(image.c_str(), reason, static_cast<int>(sizeof reason)))
    throw Failure("power cycle of " + image + ": " + reason);
  std::cout << "token power-cycled: logins and cipher state cleared\n";
}

}  // namespace

void addEmulatorCommands(CLI::App& app, Action& action, const TokenChoice& choice) {
  auto o = std::make_shared<EmuOptions>();
  o->choice = &choice;
  auto* emu = app.add_subcommand("emu", "Act on an emulated token image");
  emu->require_subcommand(1, 1);
  auto* cycle = emu->add_subcommand("power-cycle", "Power the emulated token down and up");
  cycle->add_option("image", o->image, "Token image (default: the --emulator image)");
  onRun(*cycle, action, o, powerCycle);
}

}  // namespace tkp30

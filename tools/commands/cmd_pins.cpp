// PINs and formatting.
#include <iostream>
#include <map>
#include <string>

#include "commands/commands.h"
#include "commands/io_options.h"
#include "common/secret_bytes.h"
#include "io/pin_input.h"
#include "io/tool_error.h"
#include "norv_dal_tkp30.h"
#include "platform/console.h"
#include "token/token_select.h"

namespace tkp30 {
namespace {

// Built on first use: a table of static storage duration could throw
// before main.
const std::map<std::string, std::int32_t>& loginTypes() {
  static const std::map<std::string, std::int32_t> table = {{"user", NORV_DAL_LOGIN_USER},
                                                            {"super", NORV_DAL_LOGIN_SUPER}};
  return table;
}

struct FormatOptions {
  PinSource superPin{"super-pin", "the new super PIN", {}, {}};
  PinSource userPin{"user-pin", "the new user PIN", {}, {}};
  bool yes = false;
};

struct LoginOptions {
  std::int32_t type = NORV_DAL_LOGIN_USER;
  PinSource pin{"pin", "the PIN (user or super)", {}, {}};
};

struct LogoutOptions {};

struct ChangePinOptions {
  std::int32_t type = NORV_DAL_LOGIN_USER;
  PinSource oldPin{"old-pin", "the current PIN", {}, {}};
  PinSource newPin{"new-pin", "the new PIN", {}, {}};
};

struct UnlockOptions {
  PinSource superPin{"super-pin", "the super PIN", {}, {}};
  PinSource newPin{"new-pin", "the new user PIN", {}, {}};
};

std::string nameOf(std::int32_t type) { return type == NORV_DAL_LOGIN_SUPER ? "super" : "user"; }

void confirmFormat(bool yes) {
  if (yes) return;
  if (!stdinIsTerminal()) throw UsageError("formatting erases the token: confirm with --yes");
  std::cerr << "Formatting erases everything on the token. Continue? [y/N] ";
  std::string answer;
  std::getline(std::cin, answer);
  if (answer != "y" && answer != "yes") throw Failure("formatting cancelled");
}

void format(const FormatOptions& options) {
  confirmFormat(options.yes);
  const common::SecretBytes superPin = readPin(options.superPin, "new super PIN", true);
  const common::SecretBytes userPin = readPin(options.userPin, "new user PIN", true);
  const auto token = openToken();
  check(NORV_DAL_FormatDevice(superPin.data(), static_cast<std::int32_t>(superPin.size()),
                              userPin.data(), static_cast<std::int32_t>(userPin.size())),
        "format");
  std::cout << "token formatted\n";
}

void login(const LoginOptions& options) {
  const common::SecretBytes pin = readPin(options.pin, nameOf(options.type) + " PIN");
  const auto token = openToken();
  check(NORV_DAL_Login(options.type, pin.data(), static_cast<std::int32_t>(pin.size())), "log in");
  std::cout << nameOf(options.type) << " PIN logged in\n";
}

void logout(const LogoutOptions&) {
  const auto token = openToken();
  // Either type ends whichever login is active.
  check(NORV_DAL_Logout(NORV_DAL_LOGIN_USER), "log out");
  std::cout << "logged out\n";
}

void changePin(const ChangePinOptions& options) {
  const common::SecretBytes oldPin =
      readPin(options.oldPin, "current " + nameOf(options.type) + " PIN");
  const common::SecretBytes newPin =
      readPin(options.newPin, "new " + nameOf(options.type) + " PIN", true);
  const auto token = openToken();
  check(NORV_DAL_ChangePin(options.type, oldPin.data(), static_cast<std::int32_t>(oldPin.size()),
                           newPin.data(), static_cast<std::int32_t>(newPin.size())),
        "change the PIN");
  std::cout << nameOf(options.type) << " PIN changed\n";
}

void unlockPin(const UnlockOptions& options) {
  const common::SecretBytes superPin = readPin(options.superPin, "super PIN");
  const common::SecretBytes newPin = readPin(options.newPin, "new user PIN", true);
  const auto token = openToken();
  check(NORV_DAL_UnlockPin(superPin.data(), static_cast<std::int32_t>(superPin.size()),
                           newPin.data(), static_cast<std::int32_t>(newPin.size())),
        "unlock the user PIN");
  std::cout << "user PIN unlocked and set\n";
}

void addLoginType(CLI::App& command, std::int32_t& type) {
  command.add_option("who", type, "Which PIN: user (default) or super")
      ->type_name("WHO")
      ->transform(choiceOf(loginTypes(), "PIN", "user or super"));
}

}  // namespace

void addPinCommands(CLI::App& app, Action& action) {
  auto format = std::make_shared<FormatOptions>();
  auto* formatCommand =
      app.add_subcommand("format", "Erase the token and lay out files, keys and PINs");
  addPinOptions(*formatCommand, format->superPin);
  addPinOptions(*formatCommand, format->userPin);
  formatCommand->add_flag("--yes", format->yes, "Do not ask before erasing the token");
  onRun(*formatCommand, action, format, tkp30::format);

  auto login = std::make_shared<LoginOptions>();
  auto* loginCommand = app.add_subcommand("login", "Verify the user or super PIN");
  addLoginType(*loginCommand, login->type);
  addPinOptions(*loginCommand, login->pin);
  onRun(*loginCommand, action, login, tkp30::login);

  auto* logoutCommand = app.add_subcommand("logout", "End the current login");
  onRun(*logoutCommand, action, std::make_shared<LogoutOptions>(), tkp30::logout);

  auto change = std::make_shared<ChangePinOptions>();
  auto* changeCommand = app.add_subcommand("change-pin", "Change the user or super PIN");
  addLoginType(*changeCommand, change->type);
  addPinOptions(*changeCommand, change->oldPin);
  addPinOptions(*changeCommand, change->newPin);
  onRun(*changeCommand, action, change, changePin);

  auto unlock = std::make_shared<UnlockOptions>();
  auto* unlockCommand =
      app.add_subcommand("unlock-pin", "Give a blocked user PIN a new value with the super PIN");
  addPinOptions(*unlockCommand, unlock->superPin);
  addPinOptions(*unlockCommand, unlock->newPin);
  onRun(*unlockCommand, action, unlock, unlockPin);
}

}  // namespace tkp30

// Diagnostics: what the token holds, and what a result code means.
#include <algorithm>
#include <array>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "gbk.h"
#include "norv_dal_tkp30.h"
#include "token_layout.h"
#include "token_select.h"
#include "tool_error.h"

namespace tkp30 {
namespace {

// How many indexes of each user data file type `info` looks at.
constexpr int kProbedFileIndexes = 16;

struct InfoOptions {};
struct ErrmsgOptions {
  std::int32_t code = 0;
};

std::string loginState(std::int32_t type) {
  std::int32_t loggedIn = 0;
  check(NORV_DAL_IsLogin(type, &loggedIn), "ask for the login state");
  return loggedIn ? "logged in" : "not logged in";
}

// The API does not expose the key-pair counter; a slot whose public-key
// file yields a modulus other than all zeros holds a key pair.
std::vector<int> keyPairsInUse() {
  std::vector<int> slots;
  for (int slot = 0; slot < kKeyPairSlots; ++slot) {
    std::array<std::uint8_t, kModulusBytes> modulus{};
    std::int32_t length = 0;
    if (NORV_DAL_GetPublicKey(publicKeyFile(slot), modulus.data(), &length) != NORV_DAL_OK)
      continue;
    if (std::any_of(modulus.begin(), modulus.end(), [](std::uint8_t b) { return b != 0; }))
      slots.push_back(slot);
  }
  return slots;
}

std::string globalInfoFile() {
  std::uint8_t first = 0;
  return NORV_DAL_ReadGlobalInfoFile(0, 1, &first) == NORV_DAL_OK ? "present" : "absent or empty";
}

// A zero-length read checks the file's header only.
std::vector<std::string> userDataFiles() {
  std::vector<std::string> found;
  for (int type = kFirstFileType; type <= kLastFileType; ++type) {
    for (int index = 0; index < kProbedFileIndexes; ++index) {
      std::uint8_t scratch = 0;
      const std::int32_t rv = NORV_DAL_ReadUsrDataFile(type, index, 0, 0, &scratch);
      const std::string name = "type " + std::to_string(type) + " index " + std::to_string(index);
      if (rv == NORV_DAL_OK) found.push_back(name);
      if (rv == NORV_DAL_ERR_FILE_DELETED) found.push_back(name + " (deleted)");
    }
  }
  return found;
}

void printList(const std::string& label, const std::vector<std::string>& items) {
  std::cout << label;
  if (items.empty()) std::cout << " none";
  for (const auto& item : items) std::cout << "\n  " << item;
  std::cout << "\n";
}

void showInfo(const InfoOptions&) {
  openToken();
  std::cout << "slots:          " << configuredSlots() << " (opened)\n"
            << "super PIN:      " << loginState(NORV_DAL_LOGIN_SUPER) << "\n"
            << "user PIN:       " << loginState(NORV_DAL_LOGIN_USER) << "\n";
  std::vector<std::string> pairs;
  for (const int slot : keyPairsInUse()) pairs.push_back("slot " + std::to_string(slot));
  std::cout << "key pairs:      " << pairs.size() << " of " << kKeyPairSlots << " in use\n";
  for (const auto& pair : pairs) std::cout << "  " << pair << "\n";
  std::cout << "global info:    " << globalInfoFile() << "\n";
  printList(
      "user data files (indexes 0-" + std::to_string(kProbedFileIndexes - 1) + ", readable now):",
      userDataFiles());
}

void showMessage(const ErrmsgOptions& options) {
  std::cout << libraryMessage(options.code) << "\n";
}

}  // namespace

void addInfoCommands(CLI::App& app, Action& action) {
  auto info = std::make_shared<InfoOptions>();
  auto* infoCommand = app.add_subcommand(
      "info", "Show the slot, login states, key pairs in use and the files present");
  onRun(*infoCommand, action, info, showInfo);

  auto errmsg = std::make_shared<ErrmsgOptions>();
  auto* errmsgCommand =
      app.add_subcommand("errmsg", "Print the library's message for a result code");
  errmsgCommand->add_option("code", errmsg->code, "A result code, e.g. -114")->required();
  onRun(*errmsgCommand, action, errmsg, showMessage);
}

}  // namespace tkp30

// Diagnostics: what the token holds, and what a result code means.
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "common/rsa1024.h"
#include "common/token_shape.h"
#include "io/json_text.h"
#include "io/result_text.h"
#include "io/tool_error.h"
#include "norv_dal_tkp30.h"
#include "token/module_directory.h"
#include "token/token_checks.h"
#include "token/token_select.h"

namespace tkp30 {
namespace {

// How many indexes of each user data file type `info` looks at.
constexpr int kProbedFileIndexes = 16;

struct InfoOptions {
  bool json = false;
};
struct ErrmsgOptions {
  std::int32_t code = 0;
};

struct UserFile {
  int type = 0;
  int index = 0;
  bool deleted = false;
};

struct TokenInfo {
  int slot = 0;
  std::string entry;
  bool formatted = false;
  bool superLoggedIn = false;
  bool userLoggedIn = false;
  std::vector<int> keyPairs;
  bool globalInfoFile = false;
  std::vector<UserFile> userFiles;
  ModuleDirectory directory = ModuleDirectory::Absent;
};

// The login probe reads a file that formatting creates: on a blank token
// (or one laid out by something else) it fails with "other error".
bool isFormatted() {
  std::int32_t loggedIn = 0;
  const std::int32_t rv = NORV_DAL_IsLogin(NORV_DAL_LOGIN_USER, &loggedIn);
  if (rv == NORV_DAL_ERR_OTHER) return false;
  check(rv, "ask for the login state");
  return true;
}

bool globalInfoFilePresent() {
  std::uint8_t first = 0;
  return NORV_DAL_ReadGlobalInfoFile(0, 1, &first) == NORV_DAL_OK;
}

// A zero-length read checks the file's header only.
std::vector<UserFile> userDataFiles() {
  std::vector<UserFile> found;
  for (int type = common::kFirstFileType; type <= common::kLastFileType; ++type) {
    for (int index = 0; index < kProbedFileIndexes; ++index) {
      std::uint8_t scratch = 0;
      const std::int32_t rv = NORV_DAL_ReadUsrDataFile(type, index, 0, 0, &scratch);
      if (rv == NORV_DAL_OK || rv == NORV_DAL_ERR_FILE_DELETED)
        found.push_back({type, index, rv == NORV_DAL_ERR_FILE_DELETED});
    }
  }
  return found;
}

TokenInfo gather() {
  const auto token = openToken();
  TokenInfo info;
  info.slot = openedSlot();
  if (info.slot != 0) info.entry = slotEntries()[static_cast<std::size_t>(info.slot - 1)];
  info.formatted = isFormatted();
  if (!info.formatted) return info;
  info.superLoggedIn = isLoggedIn(NORV_DAL_LOGIN_SUPER);
  info.userLoggedIn = isLoggedIn(NORV_DAL_LOGIN_USER);
  info.keyPairs = keyPairsInUse();
  info.globalInfoFile = globalInfoFilePresent();
  info.userFiles = userDataFiles();
  info.directory = moduleDirectory();
  return info;
}

const char* loginText(bool loggedIn) { return loggedIn ? "logged in" : "not logged in"; }

void printText(const TokenInfo& info) {
  std::cout << "token:          slot " << info.slot << ", " << info.entry << "\n";
  if (!info.formatted) {
    std::cout << "formatted:      no - the token is blank (or laid out by something else);\n"
                 "                `tkp30 format` lays out its files, keys and PINs\n";
    return;
  }
  std::cout << "super PIN:      " << loginText(info.superLoggedIn) << "\n"
            << "user PIN:       " << loginText(info.userLoggedIn) << "\n"
            << "key pairs:      " << info.keyPairs.size() << " of " << common::kKeyPairSlots
            << " in use\n";
  for (const int slot : info.keyPairs) std::cout << "  slot " << slot << "\n";
  std::cout << "global info:    " << (info.globalInfoFile ? "present" : "absent or empty") << "\n"
            << "user data files (indexes 0-" << kProbedFileIndexes - 1 << ", readable now):";
  if (info.userFiles.empty()) std::cout << " none";
  for (const UserFile& f : info.userFiles)
    std::cout << "\n  type " << f.type << " index " << f.index << (f.deleted ? " (deleted)" : "");
  std::cout << "\nPKCS #11 objects: directory " << moduleDirectoryName(info.directory) << "\n";
  if (info.directory == ModuleDirectory::Unreadable)
    std::cout << "                (a newer format, or its files changed by something else: the\n"
                 "                PKCS #11 module keeps the token read-only; only formatting\n"
                 "                through the module, C_InitToken, starts it afresh)\n";
}

void printJson(const TokenInfo& info) {
  std::cout << "{\"slot\": " << info.slot << ", \"entry\": " << jsonString(info.entry)
            << ", \"formatted\": " << jsonBool(info.formatted);
  if (info.formatted) {
    std::cout << ", \"super_pin_logged_in\": " << jsonBool(info.superLoggedIn)
              << ", \"user_pin_logged_in\": " << jsonBool(info.userLoggedIn)
              << ", \"key_pair_slots_in_use\": [";
    for (std::size_t i = 0; i < info.keyPairs.size(); ++i)
      std::cout << (i ? ", " : "") << info.keyPairs[i];
    std::cout << "], \"global_info_file\": " << jsonBool(info.globalInfoFile)
              << ", \"user_data_files\": [";
    for (std::size_t i = 0; i < info.userFiles.size(); ++i) {
      const UserFile& f = info.userFiles[i];
      std::cout << (i ? ", " : "") << "{\"type\": " << f.type << ", \"index\": " << f.index
                << ", \"deleted\": " << jsonBool(f.deleted) << "}";
    }
    std::cout << "], \"pkcs11_directory\": " << jsonString(moduleDirectoryName(info.directory));
  }
  std::cout << "}\n";
}

void showInfo(const InfoOptions& options) {
  const TokenInfo info = gather();
  if (options.json) {
    printJson(info);
  } else {
    printText(info);
  }
}

void showMessage(const ErrmsgOptions& options) {
  std::cout << describeResult(options.code) << "\n";
}

}  // namespace

void addInfoCommands(CLI::App& app, Action& action) {
  auto info = std::make_shared<InfoOptions>();
  auto* infoCommand = app.add_subcommand(
      "info", "Show the slot, login states, key pairs in use and the files present");
  infoCommand->add_flag("--json", info->json, "One JSON object, for scripts");
  onRun(*infoCommand, action, info, showInfo);

  auto errmsg = std::make_shared<ErrmsgOptions>();
  auto* errmsgCommand =
      app.add_subcommand("errmsg", "Print what a result code of the library means");
  errmsgCommand->add_option("code", errmsg->code, "A result code, e.g. -114")
      ->required()
      ->check(numberIn(INT32_MIN, INT32_MAX));
  onRun(*errmsgCommand, action, errmsg, showMessage);
}

}  // namespace tkp30

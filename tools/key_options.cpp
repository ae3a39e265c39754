#include "key_options.h"

#include <map>
#include <string>

#include "commands.h"
#include "token_layout.h"

namespace tkp30 {
namespace {

// Built on first use: a table of static storage duration could throw
// before main.
const std::map<std::string, Hash>& hashes() {
  static const std::map<std::string, Hash> table = {{"sha1", Hash::kSha1},
                                                    {"sha256", Hash::kSha256},
                                                    {"sha384", Hash::kSha384},
                                                    {"sha512", Hash::kSha512}};
  return table;
}

}  // namespace

void addKeySlotOption(CLI::App& command, int& slot) {
  command.add_option("--key", slot, "Key-pair slot, 0 to 3")
      ->required()
      ->check(numberIn(0, kKeyPairSlots - 1));
}

void addHashOption(CLI::App& command, Hash& hash) {
  command.add_option("--hash", hash, "sha1, sha256 (default), sha384 or sha512")
      ->type_name("HASH")
      ->transform(choiceOf(hashes(), "hash", "sha1, sha256, sha384 or sha512"));
}

}  // namespace tkp30

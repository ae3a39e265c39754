#include "commands/key_options.h"

#include <map>
#include <string>

#include "commands/commands.h"
#include "common/digest_info.h"
#include "common/rsa1024.h"
#include "common/token_shape.h"

namespace tkp30 {
namespace {

// Built on first use: a table of static storage duration could throw
// before main.
const std::map<std::string, common::Hash>& hashes() {
  static const std::map<std::string, common::Hash> table = {{"sha1", common::Hash::Sha1},
                                                            {"sha256", common::Hash::Sha256},
                                                            {"sha384", common::Hash::Sha384},
                                                            {"sha512", common::Hash::Sha512}};
  return table;
}

}  // namespace

void addKeySlotOption(CLI::App& command, int& slot) {
  command.add_option("--key", slot, "Key-pair slot, 0 to 3")
      ->required()
      ->check(numberIn(0, common::kKeyPairSlots - 1));
}

void addHashOption(CLI::App& command, common::Hash& hash) {
  command.add_option("--hash", hash, "sha1, sha256 (default), sha384 or sha512")
      ->type_name("HASH")
      ->transform(choiceOf(hashes(), "hash", "sha1, sha256, sha384 or sha512"));
}

}  // namespace tkp30

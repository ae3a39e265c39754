#include "token/token_checks.h"

#include <algorithm>

#include "common/token_shape.h"
#include "io/tool_error.h"
#include "norv_dal_tkp30.h"

namespace tkp30 {
namespace {

bool isEmpty(const Modulus& modulus) {
  return std::all_of(modulus.begin(), modulus.end(), [](std::uint8_t b) { return b == 0; });
}

// The API does not expose the key-pair counter; a slot whose public-key
// file yields a modulus other than all zeros holds a key pair.
bool readModulus(int slot, Modulus& modulus) {
  std::int32_t length = 0;
  return NORV_DAL_GetPublicKey(common::publicKeyFile(slot), modulus.data(), &length) ==
             NORV_DAL_OK &&
         length == static_cast<std::int32_t>(modulus.size()) && !isEmpty(modulus);
}

std::string loginHint(PinNeeded need) {
  switch (need) {
    case PinNeeded::User: return "the user PIN is not logged in: run `tkp30 login` first";
    case PinNeeded::Super: return "the super PIN is not logged in: run `tkp30 login super` first";
    case PinNeeded::Either: break;
  }
  return "no PIN is logged in: run `tkp30 login` (user PIN) or `tkp30 login super` first";
}

}  // namespace

bool isLoggedIn(std::int32_t loginType) {
  std::int32_t loggedIn = 0;
  check(NORV_DAL_IsLogin(loginType, &loggedIn), "ask for the login state");
  return loggedIn == 1;
}

void requireLogin(PinNeeded need, const std::string& action) {
  const bool user = need != PinNeeded::Super && isLoggedIn(NORV_DAL_LOGIN_USER);
  const bool super = need != PinNeeded::User && isLoggedIn(NORV_DAL_LOGIN_SUPER);
  if (!user && !super) throw Failure(action + " refused, nothing sent: " + loginHint(need));
}

std::vector<int> keyPairsInUse() {
  std::vector<int> slots;
  for (int slot = 0; slot < common::kKeyPairSlots; ++slot) {
    Modulus modulus{};
    if (readModulus(slot, modulus)) slots.push_back(slot);
  }
  return slots;
}

void requireFreeKeySlot() {
  if (keyPairsInUse().size() < static_cast<std::size_t>(common::kKeyPairSlots)) return;
  throw Failure("refused, nothing sent: the token holds " + std::to_string(common::kKeyPairSlots) +
                " key pairs and all " + std::to_string(common::kKeyPairSlots) +
                " slots are in use; only formatting the token frees them");
}

Modulus requireKeyPair(int slot) {
  Modulus modulus{};
  if (!readModulus(slot, modulus)) throw Failure("key slot " + std::to_string(slot) + " is empty");
  return modulus;
}

}  // namespace tkp30

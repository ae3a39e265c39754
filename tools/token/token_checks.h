// Checks made before an operation that the card cannot undo short of
// formatting (a user data file created half-way, a key-pair slot taken by
// a failed import): the tool refuses before anything is sent. They run
// under the token lock, in the operation they guard.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/rsa1024.h"
#include "common/token_shape.h"

namespace tkp30 {

enum class PinNeeded { User, Super, Either };

using Modulus = std::array<std::uint8_t, common::kModulusBytes>;

bool isLoggedIn(std::int32_t loginType);

// Throws Failure naming the PIN to log in with, unless it is logged in;
// `action` is what needs it ("keygen", "sign").
void requireLogin(PinNeeded need, const std::string& action);

// The key-pair slots whose public key reads back as a modulus.
std::vector<int> keyPairsInUse();

// Throws Failure when all key-pair slots are in use.
void requireFreeKeySlot();

// The modulus of the key pair in `slot`; throws Failure when it is empty.
Modulus requireKeyPair(int slot);

}  // namespace tkp30

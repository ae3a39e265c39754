// The token's key pairs and random numbers, through the library's calls.
// Results are the library's codes.
#pragma once

#include "ck/ck.h"
#include "common/rsa1024.h"
#include "common/secret_bytes.h"
#include "token/token_lock.h"

namespace p11 {

// NORV_DAL_OK with the modulus when the slot holds a key pair; a slot whose
// public key is refused or reads as all zeros holds none (NORV_DAL_ERR_READ_FILE).
std::int32_t readModulus(const TokenLock&, int slot, Modulus& modulus);

// out is one block long.
std::int32_t rawPrivateOperation(const TokenLock&, int slot, const Block& in,
                                 std::span<std::uint8_t> out);

// The slot the token chose is set even when generation fails (it may be
// one past the last slot when all are in use).
std::int32_t generateKeyPair(const TokenLock&, int& slot);

// The CRT form the token imports, big-endian, each left-padded.
struct CrtKey {
  Modulus modulus{};
  common::SecretBytes prime1{common::kCrtComponentBytes};
  common::SecretBytes prime2{common::kCrtComponentBytes};
  common::SecretBytes exponent1{common::kCrtComponentBytes};
  common::SecretBytes exponent2{common::kCrtComponentBytes};
  common::SecretBytes coefficient{common::kCrtComponentBytes};
};

std::int32_t importKeyPair(const TokenLock&, const CrtKey& key, int& slot);

// A failed generation or import: the token refused the slot after its
// last one (all four are in use; a slot is never freed), or another error.
CK_RV keyPairFailure(std::int32_t result, int slot);

// Any number of bytes, in pieces of one card response.
std::int32_t drawRandom(const TokenLock&, std::span<std::uint8_t> out);

}  // namespace p11

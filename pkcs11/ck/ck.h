// The standard's types, from the header p11-kit ships, and the byte
// strings and RSA blocks the module passes around.
#pragma once

#include <p11-kit/pkcs11.h>

#include "common/bytes.h"
#include "common/rsa1024.h"

namespace p11 {

using common::Bytes;
using common::ByteView;
// A 1024-bit RSA block: what the token's private key takes and gives.
using Block = common::RsaBlock;
using common::Modulus;

inline Bytes bytesOf(const void* data, CK_ULONG length) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  return length == 0 ? Bytes{} : Bytes(p, p + length);
}

}  // namespace p11

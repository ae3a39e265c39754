// The standard's types, from the header p11-kit ships, and the byte
// strings the module passes around.
#pragma once

#include <p11-kit/pkcs11.h>

#include <cstdint>
#include <span>
#include <vector>

namespace p11 {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline Bytes bytesOf(const void* data, CK_ULONG length) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  return length == 0 ? Bytes{} : Bytes(p, p + length);
}

}  // namespace p11

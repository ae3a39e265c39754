// A fixed run of bytes that may hold PINs, keys or plaintext: wiped
// however the scope that owns it ends.
#pragma once

#include <openssl/crypto.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace dal {

template <std::size_t N>
struct WipedBytes {
  std::array<std::uint8_t, N> bytes{};

  WipedBytes() = default;
  WipedBytes(const WipedBytes&) = delete;
  WipedBytes& operator=(const WipedBytes&) = delete;
  ~WipedBytes() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
};

}  // namespace dal

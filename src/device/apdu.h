// A short-form command APDU laid out field by field: CLA INS P1 P2, then
// Lc and the data when there are data, then Le when one is set.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace dal {

class Apdu {
 public:
  static constexpr std::size_t kMaxData = 255;
  static constexpr std::size_t kMaxSize = 4 + 1 + kMaxData + 1;

  Apdu(std::uint8_t cla, std::uint8_t ins, std::uint8_t p1, std::uint8_t p2);
  ~Apdu();  // commands may carry PINs and keys: wiped on the way out
  Apdu(const Apdu&) = delete;
  Apdu& operator=(const Apdu&) = delete;

  Apdu& append(std::uint8_t byte);
  Apdu& append(std::span<const std::uint8_t> bytes);
  // Identifier low byte first, as file identifiers travel in command data.
  Apdu& appendId(std::uint16_t fileId);
  Apdu& le(std::uint8_t expected);

  // False when the data would have exceeded 255 bytes; nothing past the
  // limit was stored, and such a command must not be sent.
  bool ok() const { return ok_; }
  std::span<const std::uint8_t> bytes();

 private:
  std::array<std::uint8_t, kMaxSize> buf_{};
  std::size_t dataLen_ = 0;
  bool hasLe_ = false;
  std::uint8_t le_ = 0;
  bool ok_ = true;
};

}  // namespace dal

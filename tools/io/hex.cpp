#include "io/hex.h"
#include "common/secret_bytes.h"

#include <cctype>

namespace tkp30 {
namespace {

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

template <typename Sink>
bool decode(std::string_view text, Sink&& sink) {
  int high = -1;
  for (const char c : text) {
    if ((std::isspace(static_cast<unsigned char>(c)) || c == ':') && high < 0) continue;
    const int v = digitValue(c);
    if (v < 0) return false;
    if (high < 0) {
      high = v;
    } else {
      sink(static_cast<std::uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  return high < 0;
}

}  // namespace

bool parseHex(std::string_view text, common::SecretBytes& out) {
  common::SecretBytes bytes;
  if (!decode(text, [&](std::uint8_t b) { bytes.push_back(b); })) return false;
  out = std::move(bytes);
  return true;
}

std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  if (!decode(text, [&](std::uint8_t b) { bytes.push_back(b); })) return std::nullopt;
  return bytes;
}

std::string toHex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

}  // namespace tkp30

#include "device/apdu.h"

#include <openssl/crypto.h>

namespace dal {
namespace {
constexpr std::size_t kHeader = 4;
constexpr std::size_t kDataAt = kHeader + 1;
}  // namespace

Apdu::Apdu(std::uint8_t cla, std::uint8_t ins, std::uint8_t p1, std::uint8_t p2) {
  buf_[0] = cla;
  buf_[1] = ins;
  buf_[2] = p1;
  buf_[3] = p2;
}

Apdu::~Apdu() { OPENSSL_cleanse(buf_.data(), buf_.size()); }

Apdu& Apdu::append(std::uint8_t byte) { return append(std::span(&byte, 1)); }

Apdu& Apdu::append(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kMaxData - dataLen_) {
    ok_ = false;
    return *this;
  }
  for (std::uint8_t b : bytes) buf_[kDataAt + dataLen_++] = b;
  return *this;
}

Apdu& Apdu::appendId(std::uint16_t fileId) {
  append(static_cast<std::uint8_t>(fileId & 0xFF));
  return append(static_cast<std::uint8_t>(fileId >> 8));
}

Apdu& Apdu::le(std::uint8_t expected) {
  hasLe_ = true;
  le_ = expected;
  return *this;
}

std::span<const std::uint8_t> Apdu::bytes() {
  std::size_t size = kHeader;
  if (dataLen_ > 0) {
    buf_[kHeader] = static_cast<std::uint8_t>(dataLen_);
    size = kDataAt + dataLen_;
  }
  if (hasLe_) buf_[size++] = le_;
  return std::span(buf_.data(), size);
}

}  // namespace dal

// Big-endian fields, written and read in order: the records the PKCS #11
// module keeps on the token.
#pragma once

#include <optional>

#include "common/bytes.h"

namespace common {

class ByteWriter {
 public:
  void u8(std::uint8_t v) { out_.push_back(v); }
  void u16(std::uint16_t v) {
    u8(static_cast<std::uint8_t>(v >> 8));
    u8(static_cast<std::uint8_t>(v));
  }
  void u32(std::uint32_t v) {
    u16(static_cast<std::uint16_t>(v >> 16));
    u16(static_cast<std::uint16_t>(v));
  }
  void raw(ByteView bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  // A string of at most 255 bytes behind its one-byte length.
  void shortBytes(ByteView bytes) {
    u8(static_cast<std::uint8_t>(bytes.size()));
    raw(bytes);
  }
  Bytes take() { return std::move(out_); }

 private:
  Bytes out_;
};

// Reads fields in order; any read past the end marks the reader failed and
// yields zeros, so a decoder checks ok() once at the end.
class ByteReader {
 public:
  explicit ByteReader(ByteView in) : in_(in) {}
  std::uint8_t u8() {
    if (pos_ >= in_.size()) return fail(), 0;
    return in_[pos_++];
  }
  std::uint16_t u16() {
    const std::uint32_t high = u8();
    return static_cast<std::uint16_t>((high << 8) | u8());
  }
  std::uint32_t u32() {
    const std::uint32_t high = u16();
    return (high << 16) | u16();
  }
  Bytes raw(std::size_t n) {
    if (n > in_.size() - pos_) return fail(), Bytes{};
    Bytes b(in_.begin() + static_cast<std::ptrdiff_t>(pos_),
            in_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
    pos_ += n;
    return b;
  }
  Bytes shortBytes() { return raw(u8()); }
  bool ok() const { return !failed_; }
  bool atEnd() const { return pos_ == in_.size(); }

 private:
  void fail() {
    failed_ = true;
    pos_ = in_.size();
  }
  ByteView in_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace common

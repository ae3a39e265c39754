#include "records/token_record.h"

#include <algorithm>
#include <string_view>

#include "common/byte_codec.h"

namespace p11 {

using common::ByteReader;
using common::ByteWriter;
namespace {

constexpr std::uint8_t kUserPinSet = 0x01;

template <std::size_t N>
std::array<std::uint8_t, N> padded(std::string_view text, char pad) {
  std::array<std::uint8_t, N> field;
  field.fill(static_cast<std::uint8_t>(pad));
  std::copy_n(text.begin(), std::min(N, text.size()), field.begin());
  return field;
}

}  // namespace

TokenRecord defaultTokenRecord() {
  TokenRecord record;
  record.label = padded<32>("TKP30", ' ');
  record.serial = padded<16>("", '0');
  record.userPinSet = true;
  return record;
}

Bytes encodeTokenRecord(const TokenRecord& record) {
  ByteWriter w;
  w.raw(record.label);
  w.raw(record.serial);
  w.u8(record.userPinSet ? kUserPinSet : 0);
  return w.take();
}

std::optional<TokenRecord> decodeTokenRecord(ByteView payload) {
  ByteReader r(payload);
  TokenRecord record;
  const Bytes label = r.raw(record.label.size());
  const Bytes serial = r.raw(record.serial.size());
  const std::uint8_t flags = r.u8();
  if (!r.ok() || !r.atEnd()) return std::nullopt;
  std::copy(label.begin(), label.end(), record.label.begin());
  std::copy(serial.begin(), serial.end(), record.serial.begin());
  record.userPinSet = (flags & kUserPinSet) != 0;
  return record;
}

}  // namespace p11

// The token record: what C_InitToken and C_InitPIN write (label, serial,
// whether the user PIN has been set). Payload of the token record copies:
// label (32 bytes, blank padded), serial (16 bytes), flags (1 byte, bit 0:
// user PIN set).
#pragma once

#include <array>
#include <optional>

#include "ck/ck.h"

namespace p11 {

struct TokenRecord {
  std::array<std::uint8_t, 32> label{};
  std::array<std::uint8_t, 16> serial{};
  bool userPinSet = true;
};

// A token without a record (formatted by other programs).
TokenRecord defaultTokenRecord();

Bytes encodeTokenRecord(const TokenRecord& record);
std::optional<TokenRecord> decodeTokenRecord(ByteView payload);

}  // namespace p11

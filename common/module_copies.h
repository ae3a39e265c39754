// One copy of a record the PKCS #11 module keeps twice on the token (its
// token record, its directory; module_range.h). A copy is
//
//   offset 0   4  "TKPM"
//          4   1  format version (1; a module refuses to change a record
//                   of a newer version)
//          5   1  record kind
//          6   2  payload length
//          8   4  sequence number
//         12   8  first 8 bytes of SHA-256 over bytes 0-11 and the payload
//         20   n  payload
//
// (big-endian). A write goes to the copy that does not hold the newest
// valid record, with the next sequence number; a write torn by a crash
// spoils only that copy, and the other still holds the previous record.
#pragma once

#include <array>
#include <optional>

#include "common/bytes.h"

namespace common {

enum class RecordKind : std::uint8_t { Token = 1, Directory = 2 };

inline constexpr std::size_t kCopyHeaderBytes = 20;

struct CopyHeader {
  std::uint32_t sequence = 0;
  std::uint16_t length = 0;
  std::array<std::uint8_t, 8> digest{};
  bool operator==(const CopyHeader&) const = default;
};

Bytes encodeCopy(RecordKind kind, std::uint32_t sequence, ByteView payload);

// The header of a copy of this kind, or nothing when the bytes are not one.
std::optional<CopyHeader> parseCopyHeader(RecordKind kind, ByteView header);

// What the first bytes of a copy's file are: never written (all zeros, as
// a file created and not yet written reads), a copy of this kind in this
// module's format, one in a newer format, or anything else.
enum class CopyLook { Blank, Ours, Newer, Foreign };
CopyLook lookOfCopy(RecordKind kind, ByteView header);

// Whether a record of which no copy is valid is there all the same, given
// how its two copies look: a copy in a newer format or not the module's,
// or both copies written and both spoilt (a write cut short spoils one
// copy only). Such a record must never be written over.
enum class RecordState { Absent, Unreadable };
RecordState stateWithoutValidCopy(CopyLook first, CopyLook second);

// True when the payload is the one the header's digest names.
bool payloadMatches(RecordKind kind, const CopyHeader& header, ByteView payload);

}  // namespace common

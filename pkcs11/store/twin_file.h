// A record kept twice on the token (see common/module_copies.h) in the first two
// usable files of its run: reading picks the newest valid copy, writing
// replaces the other one.
#pragma once

#include <optional>

#include "common/module_copies.h"
#include "common/module_range.h"
#include "common/token_shape.h"
#include "token/token_files.h"

namespace p11 {

using common::CopyHeader;
using common::CopyLook;
using common::RecordKind;

struct TwinFile {
  RecordKind kind;
  std::int32_t first;  // index of the run's first file
  int count;           // files in the run
  std::int32_t capacity;
  common::FileAccess read;
  common::FileAccess write;
};

inline constexpr TwinFile kTokenRecordFile = {
    RecordKind::Token, common::kTokenRecordRun.first, common::kTokenRecordRun.count,
    kRecordCapacity,   common::FileAccess::Free,      common::FileAccess::Super};
inline constexpr TwinFile kDirectoryFile = {
    RecordKind::Directory, common::kDirectoryRun.first, common::kDirectoryRun.count,
    kDirectoryCapacity,    common::FileAccess::Free,    common::FileAccess::User};

// What the token held at the last load or store.
struct TwinState {
  struct Copy {
    int file = -1;                     // position in the run, -1: none left
    bool exists = false;               // the file is on the token
    std::optional<CopyHeader> header;  // its header, when it parses
    CopyLook look = CopyLook::Blank;
    bool operator==(const Copy&) const = default;
  };
  Copy copy[2];
  int newest = -1;  // the copy whose record was taken, or -1
  Bytes payload;    // that record
  // No copy is valid, yet the record is there: a copy in a newer format or
  // not the module's, or both copies written and both spoilt (a write cut
  // short spoils one copy only). Such a record is never written over.
  bool unreadable = false;
};

// Reads the token's record into state. A state loaded before is passed in
// as it stands: a copy whose header has not changed is not read again.
// CKR_OK also when the token holds no valid copy (newest is then -1, and
// unreadable says whether that is because there is none).
CK_RV loadTwin(const TokenLock& lock, const TwinFile& file, TwinState& state);

// Writes payload as the next record. The caller holds the login that the
// file's write access needs (a copy's file is created on first use).
// CKR_TOKEN_WRITE_PROTECTED, with nothing written, when the record is
// unreadable.
CK_RV storeTwin(const TokenLock& lock, const TwinFile& file, TwinState& state, ByteView payload);

}  // namespace p11

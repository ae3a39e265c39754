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
// clang-tidy 14 takes the defaulted comparisons below for a variable __i0.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl*,readability-identifier-naming)
struct TwinState {
  struct Copy {
    int file = -1;                     // position in the run, -1: none left
    bool exists = false;               // the file is on the token
    std::optional<CopyHeader> header;  // its header, when it parses
    CopyLook look = CopyLook::Blank;
    Bytes front;  // the first bytes read: the header and the payload's start
    bool operator==(const Copy& other) const {
      return file == other.file && exists == other.exists && header == other.header &&
             look == other.look;
    }
  };
  Copy copy[2];
  bool loaded = false;  // both copies were read together, under one lock
  int newest = -1;      // the copy whose record was taken, or -1
  Bytes payload;        // that record
  // No copy is valid, yet the record is there: a copy in a newer format or
  // not the module's, or both copies written and both spoilt (a write cut
  // short spoils one copy only). Such a record is never written over.
  bool unreadable = false;
};

// Reads the token's record into state: both copies, each with one read
// that takes its header and (for a short record) its whole payload.
// CKR_OK also when the token holds no valid copy (newest is then -1, and
// unreadable says whether that is because there is none).
CK_RV loadTwin(const TokenLock& lock, const TwinFile& file, TwinState& state);

// Makes a state loaded before current, as cheaply as the copies allow: a
// writer always writes the copy that does not hold the newest record, so
// when that copy is as it was, nothing was written since and one read is
// all it takes. Otherwise, or when nothing was loaded yet, loadTwin.
CK_RV freshenTwin(const TokenLock& lock, const TwinFile& file, TwinState& state);

// The record in the first copy alone, when that copy is valid; nothing
// otherwise. For records whose first copy a caller can tell is current.
std::optional<Bytes> firstCopyRecord(const TokenLock& lock, const TwinFile& file, CK_RV& rv);

// Writes payload as the next record. The caller holds the login that the
// file's write access needs (a copy's file is created on first use).
// CKR_TOKEN_WRITE_PROTECTED, with nothing written, when the record is
// unreadable.
CK_RV storeTwin(const TokenLock& lock, const TwinFile& file, TwinState& state, ByteView payload);

}  // namespace p11

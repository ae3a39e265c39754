#include "store/twin_file.h"

#include <algorithm>
#include <array>

#include "token/dal_results.h"

namespace p11 {
namespace {

using common::kCopyHeaderBytes;

using HeaderBytes = std::array<std::uint8_t, kCopyHeaderBytes>;

// Looks for a usable file from position `from` of the run and makes it the
// copy: an absent file (it is created on first write) or a readable one. A
// file whose creation was cut short reads as deleted and is passed over.
CK_RV findCopy(const TokenLock& lock, const TwinFile& file, int from, TwinState::Copy& copy) {
  for (int position = from; position < file.count; ++position) {
    HeaderBytes header{};
    const std::int32_t rv = readTokenFile(lock, file.first + position, 0, header);
    if (rv == NORV_DAL_ERR_FILE_DELETED) continue;
    if (rv != NORV_DAL_OK && rv != NORV_DAL_ERR_READ_FILE) return deviceFailure(rv);
    copy.file = position;
    copy.exists = rv == NORV_DAL_OK;
    copy.header = copy.exists ? common::parseCopyHeader(file.kind, header) : std::nullopt;
    copy.look = copy.exists ? common::lookOfCopy(file.kind, header) : CopyLook::Blank;
    return CKR_OK;
  }
  copy = TwinState::Copy{};
  return CKR_OK;
}

// Copies in the order to try: the higher sequence number first.
std::array<int, 2> newestFirst(const TwinState& state) {
  const auto seq = [&](int c) {
    const auto& h = state.copy[c].header;
    return h ? static_cast<std::int64_t>(h->sequence) : -1;
  };
  return seq(1) > seq(0) ? std::array<int, 2>{1, 0} : std::array<int, 2>{0, 1};
}

CK_RV readPayload(const TokenLock& lock, const TwinFile& file, const TwinState::Copy& copy,
                  Bytes& payload, bool& valid) {
  payload.assign(copy.header->length, 0);
  const std::int32_t rv = readTokenFile(lock, file.first + copy.file,
                                        static_cast<std::int32_t>(kCopyHeaderBytes), payload);
  if (rv == NORV_DAL_ERR_OPEN_DEVICE) return deviceFailure(rv);
  valid = rv == NORV_DAL_OK && common::payloadMatches(file.kind, *copy.header, payload);
  return CKR_OK;
}

}  // namespace

CK_RV loadTwin(const TokenLock& lock, const TwinFile& file, TwinState& state) {
  const TwinState before = state;
  state.unreadable = false;
  if (const CK_RV rv = findCopy(lock, file, 0, state.copy[0]); rv != CKR_OK) return rv;
  if (state.copy[0].file >= 0)
    if (const CK_RV rv = findCopy(lock, file, state.copy[0].file + 1, state.copy[1]); rv != CKR_OK)
      return rv;
  for (const int c : newestFirst(state)) {
    if (!state.copy[c].header) continue;
    if (before.newest == c && before.copy[c] == state.copy[c]) {
      state.newest = c;
      state.payload = before.payload;
      return CKR_OK;
    }
    bool valid = false;
    if (const CK_RV rv = readPayload(lock, file, state.copy[c], state.payload, valid); rv != CKR_OK)
      return rv;
    if (valid) {
      state.newest = c;
      return CKR_OK;
    }
  }
  state.newest = -1;
  state.payload.clear();
  state.unreadable = common::stateWithoutValidCopy(state.copy[0].look, state.copy[1].look) ==
                     common::RecordState::Unreadable;
  return CKR_OK;
}

CK_RV storeTwin(const TokenLock& lock, const TwinFile& file, TwinState& state, ByteView payload) {
  if (state.unreadable) return CKR_TOKEN_WRITE_PROTECTED;
  std::uint32_t sequence = 1;
  for (const auto& c : state.copy)
    if (c.header && c.header->sequence >= sequence) sequence = c.header->sequence + 1;
  const Bytes bytes = common::encodeCopy(file.kind, sequence, payload);
  if (bytes.size() > static_cast<std::size_t>(file.capacity)) return CKR_DEVICE_MEMORY;
  TwinState::Copy& target = state.copy[state.newest == 0 ? 1 : 0];
  for (;;) {
    if (target.file < 0) return CKR_DEVICE_MEMORY;  // the run is used up
    const std::int32_t index = file.first + target.file;
    std::int32_t rv = NORV_DAL_OK;
    if (!target.exists) rv = createTokenFile(lock, index, file.capacity, file.read, file.write);
    if (rv == NORV_DAL_OK) rv = writeTokenFile(lock, index, 0, bytes);
    if (rv == NORV_DAL_OK) break;
    if (rv == NORV_DAL_ERR_OPEN_DEVICE) return deviceFailure(rv);
    // A file that is there but cannot be written is passed over for the
    // next; a creation refused for want of space ends the write.
    if (target.exists && rv != NORV_DAL_ERR_FILE_DELETED) return deviceFailure(rv);
    if (!target.exists && rv == NORV_DAL_ERR_CREATE_FILE && !tokenFileThere(lock, index))
      return CKR_DEVICE_MEMORY;
    const int after = std::max(state.copy[0].file, state.copy[1].file) + 1;
    if (const CK_RV found = findCopy(lock, file, after, target); found != CKR_OK) return found;
  }
  target.exists = true;
  target.header = common::parseCopyHeader(file.kind, bytes);
  target.look = CopyLook::Ours;
  state.newest = &target == &state.copy[0] ? 0 : 1;
  state.payload.assign(payload.begin(), payload.end());
  return CKR_OK;
}

}  // namespace p11

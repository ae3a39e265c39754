#include "store/twin_file.h"

#include <algorithm>
#include <array>

#include "token/dal_results.h"

namespace p11 {
namespace {

using common::kCopyHeaderBytes;

// What the first read of a copy takes: one card read's worth, which holds
// the header and a short record whole.
constexpr std::size_t kFrontBytes = 128;

// The first bytes of the file at `index`, as many as it holds up to
// kFrontBytes; the library's result of the read that decided.
std::int32_t readFront(const TokenLock& lock, const TwinFile& file, std::int32_t index,
                       Bytes& front) {
  front.assign(std::min(kFrontBytes, static_cast<std::size_t>(file.capacity)), 0);
  std::int32_t rv = readTokenFile(lock, index, 0, front);
  if (rv != NORV_DAL_ERR_READ_FILE) return rv;
  // Shorter than a copy of ours would be, or not there at all.
  front.assign(kCopyHeaderBytes, 0);
  rv = readTokenFile(lock, index, 0, front);
  if (rv != NORV_DAL_OK) front.clear();
  return rv;
}

// Looks for a usable file from position `from` of the run and makes it the
// copy: an absent file (it is created on first write) or a readable one. A
// file whose creation was cut short reads as deleted and is passed over.
CK_RV findCopy(const TokenLock& lock, const TwinFile& file, int from, TwinState::Copy& copy) {
  for (int position = from; position < file.count; ++position) {
    Bytes front;
    const std::int32_t rv = readFront(lock, file, file.first + position, front);
    if (rv == NORV_DAL_ERR_FILE_DELETED) continue;
    if (rv != NORV_DAL_OK && rv != NORV_DAL_ERR_READ_FILE) return deviceFailure(rv);
    copy = TwinState::Copy{};
    copy.file = position;
    copy.exists = rv == NORV_DAL_OK;
    if (copy.exists) {
      const ByteView header = ByteView(front).first(kCopyHeaderBytes);
      copy.header = common::parseCopyHeader(file.kind, header);
      copy.look = common::lookOfCopy(file.kind, header);
      copy.front = std::move(front);
    }
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

// The copy's payload: what its front read holds, the rest read now.
CK_RV readPayload(const TokenLock& lock, const TwinFile& file, const TwinState::Copy& copy,
                  Bytes& payload, bool& valid) {
  payload.assign(copy.header->length, 0);
  const std::size_t held =
      std::min<std::size_t>(payload.size(), copy.front.size() - kCopyHeaderBytes);
  std::copy_n(copy.front.begin() + kCopyHeaderBytes, held, payload.begin());
  std::int32_t rv = NORV_DAL_OK;
  if (held < payload.size())
    rv = readTokenFile(lock, file.first + copy.file,
                       static_cast<std::int32_t>(kCopyHeaderBytes + held),
                       std::span(payload).subspan(held));
  if (rv == NORV_DAL_ERR_OPEN_DEVICE) return deviceFailure(rv);
  valid = rv == NORV_DAL_OK && common::payloadMatches(file.kind, *copy.header, payload);
  return CKR_OK;
}

// Every write gives a copy a new sequence number, so its first bytes tell
// whether it was written: for a copy of ours its header, for any other the
// bytes where a header would be.
bool sameHeaderBytes(const TwinState::Copy& a, const TwinState::Copy& b) {
  const std::size_t n = std::min(kCopyHeaderBytes, std::min(a.front.size(), b.front.size()));
  return a.front.size() >= n && b.front.size() >= n &&
         std::equal(a.front.begin(), a.front.begin() + static_cast<std::ptrdiff_t>(n),
                    b.front.begin()) &&
         (a.front.size() >= kCopyHeaderBytes) == (b.front.size() >= kCopyHeaderBytes);
}

bool readsUnreadable(const TwinState& state) {
  return common::stateWithoutValidCopy(state.copy[0].look, state.copy[1].look) ==
         common::RecordState::Unreadable;
}

}  // namespace

CK_RV loadTwin(const TokenLock& lock, const TwinFile& file, TwinState& state) {
  state = TwinState{};
  if (const CK_RV rv = findCopy(lock, file, 0, state.copy[0]); rv != CKR_OK) return rv;
  if (state.copy[0].file >= 0)
    if (const CK_RV rv = findCopy(lock, file, state.copy[0].file + 1, state.copy[1]); rv != CKR_OK)
      return rv;
  state.loaded = true;
  for (const int c : newestFirst(state)) {
    if (!state.copy[c].header) continue;
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
  state.unreadable = readsUnreadable(state);
  return CKR_OK;
}

CK_RV freshenTwin(const TokenLock& lock, const TwinFile& file, TwinState& state) {
  if (!state.loaded || state.unreadable) return loadTwin(lock, file, state);
  const TwinState::Copy& spare = state.copy[state.newest == 0 ? 1 : 0];
  if (spare.file < 0) return loadTwin(lock, file, state);
  TwinState::Copy now;
  if (const CK_RV rv = findCopy(lock, file, spare.file, now); rv != CKR_OK) return rv;
  if (now == spare && sameHeaderBytes(now, spare)) return CKR_OK;
  return loadTwin(lock, file, state);
}

std::optional<Bytes> firstCopyRecord(const TokenLock& lock, const TwinFile& file, CK_RV& rv) {
  TwinState::Copy first;
  rv = findCopy(lock, file, 0, first);
  if (rv != CKR_OK || !first.header) return std::nullopt;
  Bytes payload;
  bool valid = false;
  rv = readPayload(lock, file, first, payload, valid);
  if (rv != CKR_OK || !valid) return std::nullopt;
  return payload;
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
  target.front.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(
                                                         std::min(kFrontBytes, bytes.size())));
  state.newest = &target == &state.copy[0] ? 0 : 1;
  state.payload.assign(payload.begin(), payload.end());
  return CKR_OK;
}

}  // namespace p11

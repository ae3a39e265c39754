#include "twin_file.h"

#include <array>

#include "dal_results.h"

namespace p11 {
namespace {

using HeaderBytes = std::array<std::uint8_t, kCopyHeaderBytes>;

// Reads one copy's header into the state; a file that cannot be selected
// or read counts as absent, a deleted one as present but unusable.
CK_RV readHeader(const TokenLock& lock, const TwinFile& file, int copy, TwinState& state) {
  HeaderBytes header{};
  const std::int32_t rv = readTokenFile(lock, file.index[copy], 0, header);
  state.header[copy].reset();
  state.exists[copy] = rv == NORV_DAL_OK || rv == NORV_DAL_ERR_FILE_DELETED;
  if (rv == NORV_DAL_OK) state.header[copy] = parseCopyHeader(file.kind, header);
  if (rv == NORV_DAL_OK || rv == NORV_DAL_ERR_READ_FILE || rv == NORV_DAL_ERR_FILE_DELETED)
    return CKR_OK;
  return deviceFailure(rv);
}

// Copies in the order to try: the higher sequence number first.
std::array<int, 2> newestFirst(const TwinState& state) {
  const auto seq = [&](int copy) {
    return state.header[copy] ? static_cast<std::int64_t>(state.header[copy]->sequence) : -1;
  };
  return seq(1) > seq(0) ? std::array<int, 2>{1, 0} : std::array<int, 2>{0, 1};
}

}  // namespace

CK_RV loadTwin(const TokenLock& lock, const TwinFile& file, TwinState& state) {
  const TwinState before = state;
  for (int copy = 0; copy < 2; ++copy)
    if (const CK_RV rv = readHeader(lock, file, copy, state); rv != CKR_OK) return rv;
  for (const int copy : newestFirst(state)) {
    const auto& header = state.header[copy];
    if (!header) continue;
    if (before.newest == copy && before.header[copy] == header) {
      state.newest = copy;
      state.payload = before.payload;
      return CKR_OK;
    }
    Bytes payload(header->length);
    const std::int32_t rv =
        readTokenFile(lock, file.index[copy], static_cast<std::int32_t>(kCopyHeaderBytes), payload);
    if (rv == NORV_DAL_ERR_OPEN_DEVICE) return deviceFailure(rv);
    if (rv == NORV_DAL_OK && payloadMatches(file.kind, *header, payload)) {
      state.newest = copy;
      state.payload = std::move(payload);
      return CKR_OK;
    }
  }
  state.newest = -1;
  state.payload.clear();
  return CKR_OK;
}

CK_RV storeTwin(const TokenLock& lock, const TwinFile& file, TwinState& state, ByteView payload) {
  const int target = state.newest == 0 ? 1 : 0;
  std::uint32_t sequence = 1;
  for (const auto& header : state.header)
    if (header && header->sequence >= sequence) sequence = header->sequence + 1;
  const Bytes copy = encodeCopy(file.kind, sequence, payload);
  if (copy.size() > static_cast<std::size_t>(file.capacity)) return CKR_DEVICE_MEMORY;
  if (!state.exists[target]) {
    const std::int32_t rv = createTokenFile(lock, file.index[target], file.capacity, file.read,
                                            file.write);
    if (rv == NORV_DAL_ERR_CREATE_FILE) return CKR_DEVICE_MEMORY;
    if (rv != NORV_DAL_OK) return deviceFailure(rv);
    state.exists[target] = true;
  }
  if (const std::int32_t rv = writeTokenFile(lock, file.index[target], 0, copy); rv != NORV_DAL_OK)
    return deviceFailure(rv);
  state.header[target] = parseCopyHeader(file.kind, copy);
  state.newest = target;
  state.payload.assign(payload.begin(), payload.end());
  return CKR_OK;
}

}  // namespace p11

#include "store/file_reclaim.h"

#include "token/token_files.h"

namespace p11 {
namespace {

struct Rights {
  bool readableWithoutPin = false;
  bool writableWithoutPin = false;
};

// The largest multiple of the file step, up to the object limit, that the
// file holds.
CK_RV probeCapacity(const TokenLock& lock, std::int32_t index, std::int32_t& capacity) {
  std::int32_t low = 0;
  std::int32_t high = kMaxObjectBytes / kObjectFileStep;
  while (low < high) {
    const std::int32_t steps = (low + high + 1) / 2;
    std::uint8_t last[1];
    const std::int32_t rv = readTokenFile(lock, index, steps * kObjectFileStep - 1, last);
    if (rv == NORV_DAL_ERR_OPEN_DEVICE) return CKR_DEVICE_REMOVED;
    if (rv == NORV_DAL_OK)
      low = steps;
    else
      high = steps - 1;
  }
  capacity = low * kObjectFileStep;
  return CKR_OK;
}

// Writing back the byte that is there changes nothing, whoever owns it.
CK_RV probeRights(const TokenLock& lock, Login& login, std::int32_t index, std::uint8_t first,
                  Rights& rights) {
  return login.withoutLogin(lock, [&] {
    std::uint8_t byte[1];
    rights.readableWithoutPin = readTokenFile(lock, index, 0, byte) == NORV_DAL_OK;
    const std::uint8_t same[1] = {first};
    rights.writableWithoutPin = writeTokenFile(lock, index, 0, same) == NORV_DAL_OK;
  });
}

FileEntry foreignFile(std::int32_t index) {
  FileEntry entry;
  entry.index = index;
  entry.unusable = true;
  entry.foreign = true;
  return entry;
}

}  // namespace

CK_RV reclaimFile(const TokenLock& lock, Login& login, std::int32_t index, FileEntry& entry) {
  entry = foreignFile(index);
  std::uint8_t first[1];
  const std::int32_t read = readTokenFile(lock, index, 0, first);
  if (read == NORV_DAL_ERR_OPEN_DEVICE) return CKR_DEVICE_REMOVED;
  if (read != NORV_DAL_OK) return CKR_OK;  // marked deleted, or closed to the user
  std::int32_t capacity = 0;
  if (const CK_RV rv = probeCapacity(lock, index, capacity); rv != CKR_OK || capacity == 0)
    return rv;
  Rights rights;
  if (const CK_RV rv = probeRights(lock, login, index, first[0], rights); rv != CKR_OK) return rv;
  if (rights.writableWithoutPin) return CKR_OK;  // anyone could change an object in it
  const Bytes zeros(static_cast<std::size_t>(capacity), 0);
  const std::int32_t wiped = writeTokenFile(lock, index, 0, zeros);
  if (wiped == NORV_DAL_ERR_OPEN_DEVICE) return CKR_DEVICE_REMOVED;
  if (wiped != NORV_DAL_OK) return CKR_OK;  // its write right is not the user's
  entry = FileEntry{index, capacity, !rights.readableWithoutPin, false, false, 0, 0};
  return CKR_OK;
}

}  // namespace p11

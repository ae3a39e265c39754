#include "token_store.h"

#include <cstring>

#include "emu_crypto.h"

namespace tkp30emu {
namespace {

constexpr std::uint64_t kSharedMagic = 0x544B503330564F4CULL;  // "TKP30VOL"

}  // namespace

bool TokenStore::open(const std::string& imagePath, std::string& error) {
  path_ = imagePath;
  if (!files_.open(imagePath, sizeof(SharedState), error)) return false;
  shm_ = static_cast<SharedState*>(files_.shared());
  return true;
}

void TokenStore::lock() {
  files_.lock();
  const BootId& boot = bootId();
  if (shm_->magic == kSharedMagic && std::memcmp(shm_->boot, boot.bytes, sizeof boot.bytes) == 0)
    return;
  // First use since the machine booted: the token powers up.
  std::memset(static_cast<void*>(shm_), 0, sizeof(SharedState));
  // The epoch only tells this power-up from an earlier one; should the
  // generator fail, the generation counter still does that alone.
  static_cast<void>(crypto::randomBytes(reinterpret_cast<std::uint8_t*>(&shm_->epoch),
                                        sizeof shm_->epoch));
  std::memcpy(shm_->boot, boot.bytes, sizeof boot.bytes);
  shm_->magic = kSharedMagic;
}

void TokenStore::unlock() { files_.unlock(); }

bool TokenStore::load(Persistent& p, std::string& error) {
  Bytes image;
  bool missing = false;
  if (!files_.readImage(image, missing, error)) return false;
  if (missing) {
    p = Persistent{};
    return true;
  }
  std::string why;
  if (!decodeImage(image, p, why)) {
    error = path_ + ": " + why;
    return false;
  }
  return true;
}

bool TokenStore::commit(const Persistent& p, std::string& error) {
  if (!files_.writeNext(encodeImage(p), error)) return false;
  // Every other process reloads from now on, even if this one dies before
  // the replace (it then finds the old image, which is still the truth).
  ++shm_->generation;
  return files_.replaceWithNext(error);
}

}  // namespace tkp30emu

#include "token_store.h"

#include <cstring>

#include "emu_crypto.h"

namespace tkp30emu {
namespace {

constexpr std::uint64_t kSharedMagic = 0x544B503330564F4CULL;  // "TKP30VOL"

}  // namespace

bool TokenStore::open(const std::string& imagePath, std::string& error) {
  path_ = imagePath;
  return files_.open(imagePath, sizeof(SharedState), error);
}

void TokenStore::lock() {
  files_.lock();
  if (!files_.readShared(&state_, sizeof state_))
    std::memset(static_cast<void*>(&state_), 0, sizeof state_);
  const BootId& boot = bootId();
  if (state_.magic == kSharedMagic && std::memcmp(state_.boot, boot.bytes, sizeof boot.bytes) == 0)
    return;
  // First use since the machine booted (or the state was lost): the token
  // powers up.
  std::memset(static_cast<void*>(&state_), 0, sizeof state_);
  // The epoch only tells this power-up from an earlier one; should the
  // generator fail, the generation counter still does that alone.
  static_cast<void>(
      crypto::randomBytes(reinterpret_cast<std::uint8_t*>(&state_.epoch), sizeof state_.epoch));
  std::memcpy(state_.boot, boot.bytes, sizeof boot.bytes);
  state_.magic = kSharedMagic;
}

// A state that cannot be written back is lost for the other processes,
// which then see the state they saw before; the image is unaffected.
void TokenStore::unlock() {
  storeShared();
  files_.unlock();
}

bool TokenStore::storeShared() { return files_.writeShared(&state_, sizeof state_); }

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
  ++state_.generation;
  if (!storeShared()) {
    --state_.generation;
    error = "cannot write the shared state of " + path_;
    return false;
  }
  return files_.replaceWithNext(error);
}

}  // namespace tkp30emu

#include "keys/rsa_key_cache.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <utility>

namespace dal {
namespace {

// libcrypto is set up before the cache exists, so that its own clean-up at
// exit runs after the cache has let its key objects go.
std::size_t afterCryptoSetUp(std::size_t capacity) {
  OPENSSL_init_crypto(0, nullptr);
  return capacity;
}

bool sameKey(const PublicKeyRecord& a, const PublicKeyRecord& b) {
  return a.bits == b.bits && a.modulus == b.modulus && a.exponent == b.exponent;
}

}  // namespace

RsaKeyCache::RsaKeyCache(std::size_t capacity) : capacity_(capacity) { entries_.reserve(capacity); }

std::shared_ptr<const RsaPublicKey> RsaKeyCache::get(const PublicKeyRecord& record) {
  if (auto kept = find(record)) return kept;
  // Built outside the lock: threads with other keys need not wait for it.
  auto built = RsaPublicKey::fromRecord(record);
  if (!built) return nullptr;
  auto key = std::make_shared<const RsaPublicKey>(std::move(*built));
  keep(record, key);
  return key;
}

std::size_t RsaKeyCache::size() const {
  const std::lock_guard lock(mutex_);
  return entries_.size();
}

std::shared_ptr<const RsaPublicKey> RsaKeyCache::find(const PublicKeyRecord& record) {
  const std::lock_guard lock(mutex_);
  const auto hit = std::find_if(entries_.begin(), entries_.end(),
                                [&](const Entry& e) { return sameKey(e.record, record); });
  if (hit == entries_.end()) return nullptr;
  std::rotate(entries_.begin(), hit, hit + 1);
  return entries_.front().key;
}

// A key another thread kept meanwhile stays; the one built here then
// serves its caller alone.
void RsaKeyCache::keep(const PublicKeyRecord& record, std::shared_ptr<const RsaPublicKey> key) {
  if (capacity_ == 0) return;
  std::shared_ptr<const RsaPublicKey> evicted;  // freed after the lock is let go
  const std::lock_guard lock(mutex_);
  if (std::any_of(entries_.begin(), entries_.end(),
                  [&](const Entry& e) { return sameKey(e.record, record); }))
    return;
  if (entries_.size() == capacity_) {
    evicted = std::move(entries_.back().key);
    entries_.pop_back();
  }
  entries_.insert(entries_.begin(), Entry{record, std::move(key)});
}

RsaKeyCache& softRsaKeyCache() {
  static RsaKeyCache cache(afterCryptoSetUp(kSoftRsaKeys));
  return cache;
}

}  // namespace dal

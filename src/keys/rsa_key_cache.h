// The key objects of the last few public keys used, so that a caller who
// checks many signatures with one key pays for building its object once.
// Only public keys are kept: nothing secret outlives a call.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "keys/software_rsa.h"

namespace dal {

class RsaKeyCache {
 public:
  explicit RsaKeyCache(std::size_t capacity);

  // The key object of `record`: the kept one when the record is known (the
  // whole record must match, modulus and length alike), else built and kept
  // in place of the least recently used. Null when libcrypto cannot build
  // it. Safe from any thread; the object stays valid while the caller
  // holds it, kept or not.
  std::shared_ptr<const RsaPublicKey> get(const PublicKeyRecord& record);

  std::size_t size() const;

 private:
  struct Entry {
    PublicKeyRecord record;
    std::shared_ptr<const RsaPublicKey> key;
  };

  std::shared_ptr<const RsaPublicKey> find(const PublicKeyRecord& record);
  void keep(const PublicKeyRecord& record, std::shared_ptr<const RsaPublicKey> key);

  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;  // most recently used first
};

// The cache of the software RSA calls keeps the last this many keys.
inline constexpr std::size_t kSoftRsaKeys = 8;
RsaKeyCache& softRsaKeyCache();

}  // namespace dal

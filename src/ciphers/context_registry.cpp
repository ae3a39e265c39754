#include "ciphers/context_registry.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <unordered_map>

#include "norv_dal_tkp30.h"

namespace dal::ciphers {
namespace {

struct Entry {
  Family family;
  std::size_t bytes;
  bool busy = false;
};

class Registry {
 public:
  Registry() = default;
  ~Registry() {
    for (void* block : retired_) OPENSSL_free(block);
  }
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  void* add(Family family, std::size_t bytes) {
    void* ctx = OPENSSL_zalloc(bytes);
    if (ctx == nullptr) return nullptr;
    try {
      const std::lock_guard lock(mutex_);
      live_.emplace(ctx, Entry{family, bytes});
    } catch (...) {
      OPENSSL_free(ctx);
      return nullptr;
    }
    return ctx;
  }

  std::int32_t release(const void* ctx, std::initializer_list<Family> families) {
    const std::lock_guard lock(mutex_);
    const auto it = live_.find(ctx);
    if (it == live_.end() ||
        std::find(families.begin(), families.end(), it->second.family) == families.end())
      return NORV_DAL_ERR_PARAM;
    if (it->second.busy) return NORV_DAL_ERR_SYNC;
    void* const block = const_cast<void*>(it->first);
    OPENSSL_cleanse(block, it->second.bytes);
    live_.erase(it);
    retire(block);
    return NORV_DAL_OK;
  }

  std::int32_t claim(const void* ctx, Family family) {
    const std::lock_guard lock(mutex_);
    const auto it = live_.find(ctx);
    if (it == live_.end() || it->second.family != family) return NORV_DAL_ERR_PARAM;
    if (it->second.busy) return NORV_DAL_ERR_SYNC;
    it->second.busy = true;
    return NORV_DAL_OK;
  }

  void unclaim(const void* ctx) {
    const std::lock_guard lock(mutex_);
    // A claimed context cannot be released, so it is still here.
    if (const auto it = live_.find(ctx); it != live_.end()) it->second.busy = false;
  }

 private:
  // Keeps the block from the heap until kQuarantined later releases.
  void retire(void* block) {
    OPENSSL_free(retired_[next_]);
    retired_[next_] = block;
    next_ = (next_ + 1) % retired_.size();
  }

  std::mutex mutex_;
  std::unordered_map<const void*, Entry> live_;
  std::array<void*, kQuarantined> retired_{};
  std::size_t next_ = 0;
};

Registry& registry() {
  static Registry r;
  return r;
}

// Built as the library loads, so that it outlives every object of the
// caller's built later, whose destructors may still release contexts; it
// returns the held-back memory as the library unloads.
__attribute__((constructor)) void buildRegistryAtLoad() { registry(); }

}  // namespace

void* newContext(Family family, std::size_t bytes) { return registry().add(family, bytes); }

std::int32_t releaseContext(const void* ctx, std::initializer_list<Family> families) {
  return registry().release(ctx, families);
}

ContextUse::ContextUse(const void* ctx, Family family)
    : ctx_(ctx), status_(registry().claim(ctx, family)) {}

ContextUse::~ContextUse() {
  if (status_ == NORV_DAL_OK) registry().unclaim(ctx_);
}

}  // namespace dal::ciphers

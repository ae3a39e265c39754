// The token: the card operating system over its store, one command at a
// time under the token's lock.
#include <mutex>
#include <optional>
#include <thread>

#include "answer_delay.h"
#include "card_codes.h"
#include "tkp30emu/card.h"
#include "tkp30emu/token.h"
#include "token_store.h"

namespace tkp30emu {
namespace {

// Holds the token's lock for one scope.
class StoreLock {
 public:
  explicit StoreLock(TokenStore& store) : store_(store) { store_.lock(); }
  ~StoreLock() { store_.unlock(); }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

 private:
  TokenStore& store_;
};

Response failure() {
  Response r;
  r.sw = card::kMemoryFailure;
  return r;
}

class FileToken final : public Token {
 public:
  bool open(const std::string& path, std::string& error) {
    answerDelay_ = answerDelayFromEnvironment();
    if (!store_.open(path, error)) return false;
    const StoreLock lock(store_);
    return reload(error);
  }

  // The answer waits out the delay with the token's lock held: a real
  // token answers one command at a time, so a command from another
  // process (or thread) waits for this answer, and two programs' delays
  // add up instead of overlapping.
  Response transmit(std::span<const std::uint8_t> apdu) override {
    std::lock_guard<std::mutex> g(mu_);
    const StoreLock lock(store_);
    Response answer = run(apdu);
    if (answerDelay_.count() > 0) std::this_thread::sleep_for(answerDelay_);
    return answer;
  }

  void powerCycle() override {
    std::lock_guard<std::mutex> g(mu_);
    const StoreLock lock(store_);
    store_.shared()->v = Volatile{};
  }

  std::chrono::microseconds answerDelay() const override { return answerDelay_; }

 private:
  // One command under the lock.
  Response run(std::span<const std::uint8_t> apdu) {
    if (!fresh()) return failure();  // the image became unreadable
    Volatile v = store_.shared()->v;
    const std::optional<CardResult> res = runDurably(v, apdu);
    if (!res) {
      // Nothing was kept: forget the change and the volatile effects.
      cacheValid_ = false;
      return failure();
    }
    store_.shared()->v = v;
    return res->response;
  }

  bool reload(std::string& error) {
    Persistent p;
    if (!store_.load(p, error)) {
      cacheValid_ = false;
      return false;
    }
    cache_ = std::move(p);
    epocstore_ = store_.shared()->epoch;
    generation_ = store_.shared()->generation;
    cacheValid_ = true;
    return true;
  }

  // The cached image is current unless another process (or a failed
  // commit) changed the image since it was read.
  bool fresh() {
    const SharedState* s = store_.shared();
    if (cacheValid_ && s->epoch == epocstore_ && s->generation == generation_) return true;
    std::string error;
    return reload(error);
  }

  // Runs the command; a change of persistent state is committed before
  // the answer exists, and whatever the card must keep before it goes on
  // (a PIN try spent before the comparison) is committed when it asks.
  // Nothing when the change could not be kept.
  std::optional<CardResult> runDurably(Volatile& v, std::span<const std::uint8_t> apdu) noexcept {
    try {
      const Persist persist = [this](const Persistent& p) { return commit(p); };
      CardResult res = runCommand(cache_, v, apdu, &generateRsa1024, persist);
      if (res.persistentChanged && !commit(cache_)) return std::nullopt;
      return res;
    } catch (...) {  // allocation failure: answer, never throw
      return std::nullopt;
    }
  }

  // A commit that fails leaves the cache unknown: it is read afresh.
  bool commit(const Persistent& p) {
    std::string error;
    if (!store_.commit(p, error)) {
      cacheValid_ = false;
      return false;
    }
    generation_ = store_.shared()->generation;
    return true;
  }

  std::mutex mu_;
  TokenStore store_;
  Persistent cache_;
  bool cacheValid_ = false;
  std::uint64_t epocstore_ = 0;
  std::uint64_t generation_ = 0;
  std::chrono::microseconds answerDelay_{0};
};

}  // namespace

std::unique_ptr<Token> openToken(const std::string& imagePath, std::string& error) {
  try {
    auto t = std::make_unique<FileToken>();
    if (!t->open(imagePath, error)) return nullptr;
    return t;
  } catch (const std::exception& e) {
    error = e.what();
    return nullptr;
  }
}

bool setTokenOptions(const std::string& imagePath, const TokenOptions& options,
                     std::string& error) {
  try {
    TokenStore store;
    if (!store.open(imagePath, error)) return false;
    const StoreLock lock(store);
    Persistent p;
    if (!store.load(p, error)) return false;
    p.options = options;
    return store.commit(p, error);
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

bool powerCycleToken(const std::string& imagePath, std::string& error) {
  try {
    TokenStore store;
    if (!store.open(imagePath, error)) return false;
    const StoreLock lock(store);
    store.shared()->v = Volatile{};
    return true;
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

}  // namespace tkp30emu

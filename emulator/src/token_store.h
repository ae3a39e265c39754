// The storage side of a token: its image file (read, atomic replace), its
// lock file, and the volatile state shared through the lock file.
//
// Files of a token kept in <image>:
//   <image>        the image (absent: a blank token); replaced atomically
//   <image>.tmp    the next image while it is being written
//   <image>.lock   locked for the duration of every command; it holds the
//                  volatile state that every process using the token
//                  shares, stamped with the machine's boot id so that a
//                  reboot is a power-down
//
// The shared state is read into a copy of this process's when the lock is
// taken and written back before it is let go, rather than mapped: a lock
// file that someone cuts short then means a lost state (a power-up), never
// a fault on touching a mapping past its end.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "tkp30emu/card.h"
#include "token_files.h"

namespace tkp30emu {

struct SharedState {
  std::uint64_t magic;
  char boot[40];             // the boot id when the state was powered up
  std::uint64_t epoch;       // random, chosen when the state was powered up
  std::uint64_t generation;  // bumped by every commit of the image
  std::uint64_t reserved;
  Volatile v;
};

// Read and written whole, as bytes.
static_assert(std::is_trivially_copyable_v<SharedState>);

class TokenStore {
 public:
  TokenStore() = default;
  TokenStore(const TokenStore&) = delete;
  TokenStore& operator=(const TokenStore&) = delete;

  // Opens (creating) the lock file.
  bool open(const std::string& imagePath, std::string& error);
  // Takes the token's exclusive lock and reads the shared state; powers it
  // up when it is from an earlier boot, new, or cut short.
  void lock();
  // Writes the shared state back, then lets the lock go.
  void unlock();
  // Reads the image; a missing file is a blank token.
  bool load(Persistent& p, std::string& error);
  // Atomic replace: the next image is written and flushed in full before
  // it takes the current one's place.
  bool commit(const Persistent& p, std::string& error);

  // The shared state, between lock() and unlock().
  SharedState* shared() { return &state_; }

 private:
  bool storeShared();

  std::string path_;
  TokenFiles files_;
  SharedState state_{};  // this process's copy while it holds the lock
};

}  // namespace tkp30emu

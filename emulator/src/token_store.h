// The storage side of a token: its image file (read, atomic replace), its
// lock file, and the volatile state shared through the lock file's
// mapping.
//
// Files of a token kept in <image>:
//   <image>        the image (absent: a blank token); replaced atomically
//   <image>.tmp    the next image while it is being written
//   <image>.lock   locked for the duration of every command, and mapped
//                  by every process that uses the token: it holds the
//                  volatile state, stamped with the machine's boot id so
//                  that a reboot is a power-down
#pragma once

#include <cstdint>
#include <string>

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

class TokenStore {
 public:
  TokenStore() = default;
  TokenStore(const TokenStore&) = delete;
  TokenStore& operator=(const TokenStore&) = delete;

  // Opens (creating) the lock file and maps the shared state.
  bool open(const std::string& imagePath, std::string& error);
  // Takes the token's exclusive lock; powers the shared state up when it
  // is from an earlier boot (or new).
  void lock();
  void unlock();
  // Reads the image; a missing file is a blank token.
  bool load(Persistent& p, std::string& error);
  // Atomic replace: the next image is written and flushed in full before
  // it takes the current one's place.
  bool commit(const Persistent& p, std::string& error);

  SharedState* shared() { return shm_; }

 private:
  std::string path_;
  TokenFiles files_;
  SharedState* shm_ = nullptr;
};

}  // namespace tkp30emu

// What a token's store needs from the platform: the image file, read
// whole and replaced atomically, and the lock file, which serialises the
// token's commands and holds the state that every process using the token
// shares. One implementation file per platform.
//
// The files are the user's own: each is opened without following a link
// or waiting on a FIFO, and used only when it is a regular file owned by
// the effective user, with no group or other permission bits and no other
// hard link; the next image is created afresh and exclusively. Anything
// else keeps the token closed (or the command failing), with the reason.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "tkp30emu/card.h"

namespace tkp30emu {

// Reading stops past this many bytes; the decoder refuses such an image.
inline constexpr std::size_t kMaxImageBytes = std::size_t{8} << 20;

class TokenFiles {
 public:
  TokenFiles();
  ~TokenFiles();
  TokenFiles(const TokenFiles&) = delete;
  TokenFiles& operator=(const TokenFiles&) = delete;

  // Opens (creating) the lock file of the token kept in `imagePath`, at
  // least `sharedBytes` long (zero-filled when new).
  bool open(const std::string& imagePath, std::size_t sharedBytes, std::string& error);

  // The token's exclusive lock across processes; lock() blocks.
  void lock();
  void unlock();

  // The shared state, read into and written from the caller's copy under
  // the lock. Nothing is mapped, so a lock file cut short by anyone never
  // faults: readShared() is false when the file no longer holds `bytes`.
  bool readShared(void* into, std::size_t bytes);
  bool writeShared(const void* from, std::size_t bytes);

  // Reads the whole image; `missing` tells that there is none.
  bool readImage(Bytes& image, bool& missing, std::string& error);
  // Writes the next image beside the current one and flushes it to disk.
  bool writeNext(const Bytes& image, std::string& error);
  // Puts the next image in place of the current one, durably.
  bool replaceWithNext(std::string& error);

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

// Names the machine's current boot: it changes at every restart, when a
// real token loses its volatile state.
struct BootId {
  char bytes[40] = {};
};
const BootId& bootId();

}  // namespace tkp30emu

// What a token's store needs from the platform: the image file, read
// whole and replaced atomically, and the lock file, which serialises the
// token's commands and whose mapping every process using the token shares.
// One implementation file per platform.
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

  // Opens (creating) the lock file of the token kept in `imagePath` and
  // maps its first `sharedBytes` bytes, zero-filled when new.
  bool open(const std::string& imagePath, std::size_t sharedBytes, std::string& error);
  void* shared() const;

  // The token's exclusive lock across processes; lock() blocks.
  void lock();
  void unlock();

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

// The library's cipher families behind one streaming interface: the
// commands feed any amount of data through the update calls.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/secret_bytes.h"

namespace tkp30 {

enum class Algorithm { Ssf33, Des, TripleDes, Rc2, Rc4 };
enum class Direction { Encrypt, Decrypt };

struct CipherChoice {
  Algorithm algorithm = Algorithm::Des;
  bool cbc = true;
  common::SecretBytes key;
  std::vector<std::uint8_t> iv;
};

// Bytes in a block of the algorithm (1 for the stream cipher).
std::size_t blockSize(Algorithm algorithm);
// Throws UsageError unless the key, mode and IV suit the algorithm.
void validate(const CipherChoice& choice);

class CipherStream {
 public:
  virtual ~CipherStream() = default;
  // Replaces `out` with what the input released.
  virtual void update(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out) = 0;
  // Replaces `out` with the last bytes (padding added or removed).
  virtual void finish(std::vector<std::uint8_t>& out) = 0;
};

class MacStream {
 public:
  virtual ~MacStream() = default;
  virtual void update(std::span<const std::uint8_t> in) = 0;
  virtual std::vector<std::uint8_t> finish(std::uint32_t macLength) = 0;
};

std::unique_ptr<CipherStream> openCipher(const CipherChoice& choice, Direction direction);
// The CBC-MAC from a zero start, whatever the choice's mode and IV.
std::unique_ptr<MacStream> openMac(const CipherChoice& choice);

}  // namespace tkp30

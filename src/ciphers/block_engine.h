// The one engine behind the 8-byte block ciphers: it buffers input
// across calls, pads and strips PKCS #5 padding, holds back the last
// ciphertext block for the final call, and computes the CBC-MAC. What
// the block operation is (DES, triple DES, RC2) is the cipher's business.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace dal::ciphers {

inline constexpr std::size_t kBlockSize = 8;
using Block = std::array<std::uint8_t, kBlockSize>;

enum class Chaining { Ecb, Cbc };
enum class Direction { Encrypt, Decrypt };

// A block operation over the key held in a context.
class BlockCipher {
 public:
  // Transforms `len` bytes (whole blocks) from `in` to `out`: in ECB block
  // by block, in CBC as one run that carries the context's chaining value.
  virtual void run(Chaining chaining, Direction direction, const std::uint8_t* in,
                   std::uint8_t* out, std::size_t len) = 0;
  // The MAC's block encryption: one block in place, ECB, encrypt direction.
  virtual void encryptBlock(Block& block) = 0;

 protected:
  ~BlockCipher() = default;
};

// The fields of a context that the engine works on.
struct BlockState {
  Block& buf;
  std::uint32_t& bufLen;
  Block& mac;
  std::int32_t mode;
};

// Every call returns an internal code of cipher_result.h. Output pointers
// must hold the counts documented for each call; lengths are written only
// on success.
class BlockEngine {
 public:
  BlockEngine(BlockCipher& cipher, const BlockState& state) : cipher_(cipher), state_(state) {}

  std::int32_t encUpdate(std::span<const std::uint8_t> in, std::uint8_t* out,
                         std::uint32_t& outLen);
  std::int32_t encFinal(std::uint8_t* out, std::uint32_t& outLen);
  std::int32_t encrypt(std::span<const std::uint8_t> in, std::uint8_t* out, std::uint32_t& outLen);
  std::int32_t decUpdate(std::span<const std::uint8_t> in, std::uint8_t* out,
                         std::uint32_t& outLen);
  std::int32_t decFinal(std::uint8_t* out, std::uint32_t& outLen);
  std::int32_t decrypt(std::span<const std::uint8_t> in, std::uint8_t* out, std::uint32_t& outLen);
  std::int32_t macUpdate(std::span<const std::uint8_t> in);
  std::int32_t macFinal(std::uint8_t* mac, std::uint32_t macLen);

 private:
  bool modeValid() const;
  Chaining chaining() const;
  std::int32_t update(Direction direction, std::span<const std::uint8_t> in, std::uint8_t* out,
                      std::uint32_t& outLen);
  void transform(Direction direction, const std::uint8_t* in, std::uint8_t* out, std::size_t len);
  void appendPending(std::span<const std::uint8_t> in);
  void absorb(const std::uint8_t* block);

  BlockCipher& cipher_;
  BlockState state_;
};

}  // namespace dal::ciphers

// The token's SSF33 commands.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace dal::ssf33 {

inline constexpr std::size_t kBlockSize = 16;
using Block = std::array<std::uint8_t, kBlockSize>;

// LOAD KEY carries the key, and in CBC mode the initial vector after it,
// in a command buffer with room for this many data bytes.
inline constexpr std::size_t kLoadKeyDataRoom = 75;
inline constexpr std::size_t kMaxKeyEcb = kLoadKeyDataRoom;
inline constexpr std::size_t kMaxKeyCbc = kLoadKeyDataRoom - kBlockSize;

// Loads key, mode and direction into the token's cipher (`iv` empty in
// ECB mode). Returns the status word.
std::int32_t CosSsf33LoadKey(std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
                             bool cbc, bool encrypt);

struct BlockAnswer {
  std::int32_t sw;
  bool complete;  // status 9000 and a whole block delivered
};

// One block through the cipher state of the latest LOAD KEY.
BlockAnswer CosSsf33CipherBlock(std::span<const std::uint8_t, kBlockSize> in,
                                std::span<std::uint8_t, kBlockSize> out);

// Closes an encryption or a MAC; the token's answer does not matter.
void CosSsf33End();

}  // namespace dal::ssf33

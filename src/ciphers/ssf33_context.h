// The SSF33 context: the token computes the cipher; the library cuts the
// caller's data into 16-byte blocks across calls, pads the last one and
// strips its padding again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "card/ssf33_commands.h"

struct SSF33Ctx {
  dal::ssf33::Block key;
  dal::ssf33::Block iv;
  std::int32_t mode;
  std::int32_t encFlag;
  dal::ssf33::Block buf;
  std::uint32_t bufLen;
  dal::ssf33::Block mac;
};

namespace dal::ssf33 {

// The acquire call's encFlag that asks for encryption.
inline constexpr std::int32_t kEncrypt = 1;
// The encryption final found a whole block pending (a context fed by the
// decryption calls); the error table has no code of its own for it.
inline constexpr std::int32_t kErrPendingBlock = -200;

// These return the public result codes and write the log lines of the
// SSF33 calls. Output counts are written only on success.
std::int32_t encUpdate(SSF33Ctx& ctx, std::span<const std::uint8_t> in, std::uint8_t* out,
                       std::uint32_t& outLen);
std::int32_t encFinal(SSF33Ctx& ctx, std::uint8_t* out, std::uint32_t& outLen);
std::int32_t decUpdate(SSF33Ctx& ctx, std::span<const std::uint8_t> in, std::uint8_t* out,
                       std::uint32_t& outLen);
std::int32_t decFinal(SSF33Ctx& ctx, std::uint8_t* out, std::uint32_t& outLen);
std::int32_t macUpdate(SSF33Ctx& ctx, std::span<const std::uint8_t> in);
std::int32_t macFinal(SSF33Ctx& ctx, std::uint8_t* mac, std::uint32_t macLen);

// One block through the token: on failure logs "X33Encrypt:" with the
// status word and returns NORV_DAL_ERR_SSF33; `out` is written only on
// success.
std::int32_t cipherBlock(std::span<const std::uint8_t, kBlockSize> in,
                         std::span<std::uint8_t, kBlockSize> out);

}  // namespace dal::ssf33

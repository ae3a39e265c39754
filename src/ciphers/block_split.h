// How one update divides its input between the pending partial block,
// the whole blocks it can process now, and what it leaves pending. The
// arithmetic is the same for every block size; only whether the last
// whole block is held back differs (decryption keeps it for the final
// call, which strips the padding).
#pragma once

#include <cstddef>
#include <cstdint>

namespace dal::ciphers {

enum class HoldBack { None, LastBlock };

struct InputSplit {
  bool buffered;              // everything joins the pending bytes; no block is processed
  bool completesPending;      // the pending bytes, topped up, form the first block
  std::size_t fill;           // input bytes that top up the pending block
  std::size_t run;            // input bytes in whole blocks after the fill
  std::size_t tail;           // input bytes left pending at the end
  std::uint64_t outputBytes;  // bytes the processed blocks produce
};

// Inline: every update call runs it, and on a 16-byte message a call
// costs more than the arithmetic.
inline InputSplit splitInput(std::size_t pending, std::size_t inputLen, std::size_t blockSize,
                             HoldBack holdBack) {
  // 64-bit so that a pending block plus a 4 GiB input cannot wrap.
  const std::uint64_t total = std::uint64_t{pending} + inputLen;
  InputSplit split{};
  const bool fits = holdBack == HoldBack::None ? total < blockSize : total <= blockSize;
  if (fits) {
    split.buffered = true;
    split.tail = inputLen;
    return split;
  }
  split.completesPending = pending > 0;
  split.fill = split.completesPending ? blockSize - pending : 0;
  const std::size_t rest = inputLen - split.fill;
  std::size_t keep = rest % blockSize;
  if (holdBack == HoldBack::LastBlock && keep == 0) keep = blockSize;
  split.tail = keep;
  split.run = rest - keep;
  split.outputBytes = (split.completesPending ? blockSize : 0) + std::uint64_t{split.run};
  return split;
}

}  // namespace dal::ciphers

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

InputSplit splitInput(std::size_t pending, std::size_t inputLen, std::size_t blockSize,
                      HoldBack holdBack);

}  // namespace dal::ciphers

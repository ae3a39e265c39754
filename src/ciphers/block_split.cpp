#include "ciphers/block_split.h"

namespace dal::ciphers {

InputSplit splitInput(std::size_t pending, std::size_t inputLen, std::size_t blockSize,
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

#include "card/ssf33_commands.h"

#include <algorithm>

#include "device/card_codes.h"
#include "device/checked_send.h"

namespace dal::ssf33 {
namespace {

constexpr std::uint8_t kLoadKeyP2 = 0x08;
constexpr std::uint8_t kP1Always = 0x40;
constexpr std::uint8_t kP1Cbc = 0x01;
constexpr std::uint8_t kP1Decrypt = 0x80;

std::uint8_t loadKeyP1(bool cbc, bool encrypt) {
  std::uint8_t p1 = kP1Always;
  if (cbc) p1 |= kP1Cbc;
  if (!encrypt) p1 |= kP1Decrypt;
  return p1;
}

}  // namespace

std::int32_t CosSsf33LoadKey(std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
                             bool cbc, bool encrypt) {
  Apdu command(kClaProprietary, kInsSsf33LoadKey, loadKeyP1(cbc, encrypt), kLoadKeyP2);
  command.append(key).append(iv);
  return DalSend(command);
}

// CLA INS P1 P2 Lc and one block are handed over; the block comes back
// although no Le byte follows them.
BlockAnswer CosSsf33CipherBlock(std::span<const std::uint8_t, kBlockSize> in,
                                std::span<std::uint8_t, kBlockSize> out) {
  Apdu command(kClaProprietary, kInsSsf33CipherBlock, 0x00, 0x00);
  command.append(in);
  ResponseBuffer response;
  const std::int32_t sw = DalSend(command, response);
  const bool complete = sw == kSwSuccess && response.delivered() >= kBlockSize;
  if (complete) std::copy_n(response.data(), kBlockSize, out.begin());
  return {sw, complete};
}

void CosSsf33End() {
  Apdu command(kClaProprietary, kInsSsf33End, 0x00, 0x00);
  command.le(0x00);
  DalSend(command);
}

}  // namespace dal::ssf33

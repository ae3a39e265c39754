#include "card/pin_reload.h"

#include <algorithm>
#include <array>

#include "card/challenge.h"
#include "card/des_crypt.h"
#include "card/file_commands.h"
#include "card/pin_args.h"
#include "device/card_codes.h"
#include "device/checked_send.h"
#include "device/wiped_bytes.h"

namespace dal {
namespace {

constexpr std::size_t kHeaderSize = 5;
constexpr std::size_t kMacSize = 4;
constexpr std::size_t kChallengeSize = 4;
constexpr std::size_t kUnlockKeySize = 16;
constexpr std::uint8_t kPadMarker = 0x80;  // then zeros to the block boundary
constexpr std::size_t kMaxBlock = 16;
constexpr std::size_t kMaxMacInput = kHeaderSize + kMaxBlock + kDesBlock;
constexpr std::size_t kPinBlockRoom = 32;

// Length byte, PIN, 0x80, zeros; 8 bytes for PINs up to 7 bytes, else 16.
std::span<std::uint8_t> fillPinBlock(std::span<const std::uint8_t> pin,
                                     WipedBytes<kPinBlockRoom>& block) {
  block.bytes[0] = static_cast<std::uint8_t>(pin.size());
  std::copy(pin.begin(), pin.end(), block.bytes.begin() + 1);
  block.bytes[1 + pin.size()] = kPadMarker;
  const std::size_t size = 1 + pin.size() <= kDesBlock ? kDesBlock : 2 * kDesBlock;
  return std::span(block.bytes).first(size);
}

// ISO/IEC 9797-1 padding method 2: 0x80, then zeros to a whole block.
std::span<const std::uint8_t> padMacInput(std::span<const std::uint8_t> header,
                                          std::span<const std::uint8_t> cryptogram,
                                          WipedBytes<kMaxMacInput>& input) {
  auto end = std::copy(header.begin(), header.end(), input.bytes.begin());
  end = std::copy(cryptogram.begin(), cryptogram.end(), end);
  *end++ = kPadMarker;
  const auto used = static_cast<std::size_t>(end - input.bytes.begin());
  const std::size_t size = (used + kDesBlock - 1) / kDesBlock * kDesBlock;
  return std::span(input.bytes).first(size);
}

// Retail MAC (ISO/IEC 9797-1 algorithm 3): CBC under K1 from the IV, the
// last block decrypted under K2 and encrypted again under K1.
void retailMac(std::span<const std::uint8_t> key, std::span<const std::uint8_t> challenge,
               std::span<const std::uint8_t> input, std::span<std::uint8_t, kMacSize> mac) {
  WipedBytes<kDesBlock> y;
  std::copy(challenge.begin(), challenge.end(), y.bytes.begin());
  WipedBytes<kMaxMacInput> scratch;
  const auto k1 = key.first(kDesBlock);
  const auto k2 = key.subspan(kDesBlock, kDesBlock);
  DalDesCrypt(k1, y.bytes, input, scratch.bytes, kDesEncrypt, kDesCbc);
  DalDesCrypt(k2, {}, y.bytes, y.bytes, kDesDecrypt, kDesEcb);
  DalDesCrypt(k1, {}, y.bytes, y.bytes, kDesEncrypt, kDesEcb);
  std::copy_n(y.bytes.begin(), kMacSize, mac.begin());
}

}  // namespace

std::int32_t CosReloadPin(std::span<const std::uint8_t> unlockKey,
                          std::span<const std::uint8_t> newPin, std::uint8_t keyRef) {
  if (newPin.size() > static_cast<std::size_t>(kMaxReloadPin)) return kCosFailed;
  if (unlockKey.size() != kUnlockKeySize) return kCosFailed;
  WipedBytes<kPinBlockRoom> pinBlock;
  const auto cryptogram = fillPinBlock(newPin, pinBlock);
  DalDesCrypt(unlockKey, {}, cryptogram, cryptogram, kDesEncrypt, kDes3Ecb);

  std::array<std::uint8_t, kChallengeSize> challenge{};
  CosGetChallenge(challenge);
  const std::array<std::uint8_t, kHeaderSize> header = {
      kClaSecured, kInsReloadPin, keyRef, 0x00,
      static_cast<std::uint8_t>(cryptogram.size() + kMacSize)};
  WipedBytes<kMaxMacInput> macInput;
  std::array<std::uint8_t, kMacSize> mac{};
  retailMac(unlockKey, challenge, padMacInput(header, cryptogram, macInput), mac);

  Apdu command(header[0], header[1], header[2], header[3]);
  command.append(cryptogram).append(mac);
  return DalSend(command, Route::kDirect);
}

}  // namespace dal

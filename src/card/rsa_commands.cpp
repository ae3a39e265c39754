#include "card/rsa_commands.h"

#include "device/card_codes.h"
#include "device/checked_send.h"

namespace dal {
namespace {

std::uint8_t lowByte(std::uint16_t id) { return static_cast<std::uint8_t>(id & 0xFF); }
std::uint8_t highByte(std::uint16_t id) { return static_cast<std::uint8_t>(id >> 8); }

}  // namespace

std::int32_t CosGenerateRsaKeyPair(std::uint16_t publicFileId, std::uint16_t privateFileId) {
  Apdu command(kClaProprietary, kInsGenerateKeyPair, 0x00, 0x00);
  command.appendId(publicFileId).appendId(privateFileId);
  return DalSend(command);
}

std::int32_t CosImportRsaComponent(RsaComponent component, std::span<const std::uint8_t> value) {
  Apdu command(kClaProprietary, kInsImportComponent, 0x00, static_cast<std::uint8_t>(component));
  command.append(value);
  return DalSend(command);
}

std::int32_t CosReadRsaModulus(ResponseBuffer& response) {
  Apdu command(kClaProprietary, kInsReadComponent, 0x00,
               static_cast<std::uint8_t>(RsaComponent::kModulus));
  command.le(static_cast<std::uint8_t>(kRsaBlockBytes));
  return DalSend(command, response);
}

std::int32_t CosRsaPrivateOperation(std::uint16_t privateFileId,
                                    std::span<const std::uint8_t, kRsaBlockBytes> block,
                                    ResponseBuffer& response) {
  // The key is named in P1/P2, low byte first like identifiers in data.
  Apdu command(kClaProprietary, kInsPrivateOperation, lowByte(privateFileId),
               highByte(privateFileId));
  command.append(block).le(static_cast<std::uint8_t>(kRsaBlockBytes));
  return DalSend(command, response);
}

std::int32_t CosGetChallengeBytes(std::uint8_t count, ResponseBuffer& response) {
  Apdu command(kClaIso, kInsGetChallenge, 0x00, 0x00);
  command.le(count);
  return DalSend(command, response);
}

}  // namespace dal

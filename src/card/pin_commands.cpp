#include "card/pin_commands.h"

#include "device/card_codes.h"
#include "device/checked_send.h"

namespace dal {
namespace {
constexpr std::uint8_t kChangePinP1 = 0x01;
constexpr std::uint8_t kTagOldPin = 0x81;
constexpr std::uint8_t kTagNewPin = 0x82;

std::uint8_t lengthByte(std::span<const std::uint8_t> bytes) {
  return static_cast<std::uint8_t>(bytes.size() & 0xFF);
}
}  // namespace

std::int32_t CosVerifyPin(std::uint8_t keyRef, std::span<const std::uint8_t> pin) {
  Apdu command(kClaIso, kInsVerify, keyRef, 0x00);
  command.append(pin);
  // An empty PIN still travels with its length byte, Lc = 00.
  if (pin.empty()) command.le(0x00);
  return DalSend(command);
}

std::int32_t CosChangePin(std::uint8_t keyRef, std::span<const std::uint8_t> oldPin,
                          std::span<const std::uint8_t> newPin) {
  Apdu command(kClaProprietary, kInsChangePin, kChangePinP1, keyRef);
  command.append(kTagOldPin).append(lengthByte(oldPin)).append(oldPin);
  command.append(kTagNewPin).append(lengthByte(newPin)).append(newPin);
  return DalSend(command);
}

}  // namespace dal

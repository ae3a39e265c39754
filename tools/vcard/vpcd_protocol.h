// The vpcd wire protocol: the virtual reader driver inside pcscd listens
// on a TCP port and the card connects to it. Every message is a 2-byte
// big-endian length and that many bytes; a 1-byte message is a control
// code, anything longer a command APDU.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "virtual_card.h"

namespace vcard {

inline constexpr char kDefaultHost[] = "127.0.0.1";
inline constexpr std::uint16_t kDefaultPort = 35963;
inline constexpr std::size_t kLengthSize = 2;
inline constexpr std::size_t kMaxMessage = 0xFFFF;

enum class Control : std::uint8_t { PowerOff = 0x00, PowerOn = 0x01, Reset = 0x02, Atr = 0x04 };

// The card as one connection to the driver sees it: unpowered until the
// driver powers it on (or resets it). Every power change loses the card's
// volatile state, so a command reaches the card only inside a power-up
// that the driver made: nothing that merely connects to the card's port
// can use a session left logged in.
class DriverSession {
 public:
  explicit DriverSession(VirtualCard& card) : card_(card) {}

  // What the card sends back for one message from the driver: the ATR,
  // the response APDU, an empty message for a command while unpowered
  // (the driver then reports that the card did not answer), or nothing
  // (power and reset controls, unknown codes).
  std::optional<Bytes> answer(std::span<const std::uint8_t> message);

 private:
  VirtualCard& card_;
  bool powered_ = false;
};

// The message with its length prefix, ready for one send; empty when the
// payload does not fit a length prefix.
Bytes frame(std::span<const std::uint8_t> payload);

}  // namespace vcard

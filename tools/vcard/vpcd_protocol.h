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

// What the card sends back for one message from the driver: the ATR, the
// response APDU, or nothing (power and reset controls, unknown codes).
std::optional<Bytes> answer(VirtualCard& card, std::span<const std::uint8_t> message);

// The message with its length prefix, ready for one send; empty when the
// payload does not fit a length prefix.
Bytes frame(std::span<const std::uint8_t> payload);

}  // namespace vcard

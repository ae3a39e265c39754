#include "vpcd_protocol.h"

#include "atr.h"

namespace vcard {

std::optional<Bytes> DriverSession::answer(std::span<const std::uint8_t> message) {
  if (message.size() > 1) return powered_ ? card_.transmit(message) : Bytes{};
  if (message.size() < 1) return std::nullopt;
  switch (static_cast<Control>(message[0])) {
    case Control::Atr: return Bytes(kAtr.begin(), kAtr.end());
    case Control::PowerOff:
      card_.powerCycle();
      powered_ = false;
      break;
    case Control::PowerOn:
    case Control::Reset:
      card_.powerCycle();
      powered_ = true;
      break;
  }
  return std::nullopt;
}

Bytes frame(std::span<const std::uint8_t> payload) {
  if (payload.size() > kMaxMessage) return {};
  Bytes out;
  out.reserve(kLengthSize + payload.size());
  out.push_back(static_cast<std::uint8_t>(payload.size() >> 8));
  out.push_back(static_cast<std::uint8_t>(payload.size() & 0xFF));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

}  // namespace vcard

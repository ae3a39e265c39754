#include "vpcd_protocol.h"

#include "atr.h"

namespace vcard {

std::optional<Bytes> answer(VirtualCard& card, std::span<const std::uint8_t> message) {
  if (message.size() > 1) return card.transmit(message);
  if (message.size() < 1) return std::nullopt;
  switch (static_cast<Control>(message[0])) {
    case Control::Atr: return Bytes(kAtr.begin(), kAtr.end());
    case Control::PowerOff:
    case Control::PowerOn:
    case Control::Reset: card.powerCycle(); break;
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

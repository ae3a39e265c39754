// The benchmark's baseline: a card that answers 90 00 to every command and
// keeps no state, so that its round trip is pcscd and the socket alone.
#pragma once

#include "virtual_card.h"

namespace vcard {

class TrivialCard final : public VirtualCard {
 public:
  Bytes transmit(std::span<const std::uint8_t>) override { return {0x90, 0x00}; }
  void powerCycle() override {}
};

}  // namespace vcard

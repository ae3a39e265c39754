// A card behind the virtual reader: answers command APDUs and loses its
// volatile state on power changes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vcard {

using Bytes = std::vector<std::uint8_t>;

class VirtualCard {
 public:
  virtual ~VirtualCard() = default;
  // The response data followed by SW1 SW2.
  virtual Bytes transmit(std::span<const std::uint8_t> apdu) = 0;
  virtual void powerCycle() = 0;
};

}  // namespace vcard

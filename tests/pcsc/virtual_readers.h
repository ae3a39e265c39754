// The two readers that Debian's vpcd driver adds to pcscd, each waiting
// for a virtual card on its own loopback port.
#pragma once

#include <chrono>
#include <cstdint>

namespace pcsctest {

struct VirtualReader {
  const char* name;
  std::uint16_t port;
};

inline constexpr VirtualReader kFirstReader{"Virtual PCD 00 00", 35963};
inline constexpr VirtualReader kSecondReader{"Virtual PCD 00 01", 35964};

// Generous: pcscd looks for cards in polled readers a few times a second.
inline constexpr std::chrono::seconds kCardChangeTimeout{10};

}  // namespace pcsctest

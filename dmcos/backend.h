// A transport behind one device slot: an emulated token or a PC/SC reader.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "dmcos.h"

namespace dmcos {

// What a card answered to one command.
struct Reply {
  std::array<std::uint8_t, DMCOS_MAX_RESPONSE> data{};
  std::size_t len = 0;
  std::uint16_t sw = 0;
};

// The device library calls a backend under its slot's lock only, one call
// at a time, so a backend keeps no lock of its own.
class Backend {
 public:
  virtual ~Backend() = default;
  // True when the token is open and usable. Called again on an open
  // backend it reuses the open token (and may reconnect a lost one).
  // When it fails, `why` says why in words a user can act on (never a
  // secret: paths, reader names and system reasons only).
  virtual bool open(std::string& why) = 0;
  virtual void close() = 0;
  // In a child made by fork(), instead of close(): lets go of what the
  // parent opened without touching it, since the parent still uses it.
  virtual void forsake() = 0;
  // False when the command could not be carried to the card at all.
  virtual bool transmit(std::span<const std::uint8_t> command, Reply& reply) = 0;
};

// Backend factories, one per slot scheme; both backends are always built
// in.
std::unique_ptr<Backend> makeEmulatorBackend(std::string_view imagePath);
std::unique_ptr<Backend> makePcscBackend(std::string_view readerName);

}  // namespace dmcos

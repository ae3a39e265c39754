// One connection to the virtual reader driver. Every wait also watches the
// stop signal.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "stop_signal.h"
#include "unique_fd.h"
#include "virtual_card.h"

namespace vcard {

struct Endpoint {
  std::string host;  // an IPv4 address
  std::uint16_t port = 0;
};

// True when `host` is an IPv4 address in dotted form.
bool validHost(const std::string& host);

class VpcdLink {
 public:
  explicit VpcdLink(UniqueFd socket) : socket_(std::move(socket)) {}

  // Nullopt when nobody listens at `endpoint`.
  static std::optional<VpcdLink> connect(const Endpoint& endpoint);

  // The next message; nullopt when the driver went away, the stream broke
  // or a stop was asked.
  std::optional<Bytes> receive(StopSignal& stop);
  // False when the message could not be sent whole.
  bool send(std::span<const std::uint8_t> payload);

 private:
  bool readExactly(std::uint8_t* out, std::size_t count, StopSignal& stop);
  bool awaitData(StopSignal& stop);
  void acknowledgeAtOnce();

  UniqueFd socket_;
};

}  // namespace vcard

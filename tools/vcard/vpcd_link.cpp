#include "vpcd_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "vpcd_protocol.h"

namespace vcard {
namespace {

std::optional<sockaddr_in> address(const Endpoint& endpoint) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(endpoint.port);
  if (inet_pton(AF_INET, endpoint.host.c_str(), &addr.sin_addr) != 1) return std::nullopt;
  return addr;
}

void setOption(int fd, int level, int option) {
  const int on = 1;
  ::setsockopt(fd, level, option, &on, sizeof on);
}

}  // namespace

bool validHost(const std::string& host) { return address({host, 0}).has_value(); }

std::optional<VpcdLink> VpcdLink::connect(const Endpoint& endpoint) {
  const auto addr = address(endpoint);
  if (!addr) return std::nullopt;
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return std::nullopt;
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*addr), sizeof *addr) != 0)
    return std::nullopt;
  setOption(fd.get(), IPPROTO_TCP, TCP_NODELAY);
  return VpcdLink(std::move(fd));
}

std::optional<Bytes> VpcdLink::receive(StopSignal& stop) {
  std::uint8_t prefix[kLengthSize];
  if (!readExactly(prefix, sizeof prefix, stop)) return std::nullopt;
  Bytes message(static_cast<std::size_t>(prefix[0] << 8 | prefix[1]));
  if (!readExactly(message.data(), message.size(), stop)) return std::nullopt;
  return message;
}

bool VpcdLink::send(std::span<const std::uint8_t> payload) {
  const Bytes framed = frame(payload);
  if (framed.empty()) return false;
  std::size_t sent = 0;
  while (sent < framed.size()) {
    const ssize_t n =
        ::send(socket_.get(), framed.data() + sent, framed.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool VpcdLink::readExactly(std::uint8_t* out, std::size_t count, StopSignal& stop) {
  for (std::size_t got = 0; got < count;) {
    if (!awaitData(stop)) return false;
    const ssize_t n = ::recv(socket_.get(), out + got, count - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
    acknowledgeAtOnce();
  }
  return true;
}

bool VpcdLink::awaitData(StopSignal& stop) {
  pollfd waitFor[2] = {{socket_.get(), POLLIN, 0}, {stop.fd(), POLLIN, 0}};
  while (::poll(waitFor, 2, -1) < 0)
    if (errno != EINTR) return false;
  if (stop.raised()) return false;
  return (waitFor[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

// The driver sends the length and the message in two writes without
// TCP_NODELAY: its second write waits for our acknowledgement of the
// first, which delayed acknowledgement would hold back for ~40 ms. The
// kernel drops out of quick-ack mode by itself, so this is renewed after
// every receive.
void VpcdLink::acknowledgeAtOnce() { setOption(socket_.get(), IPPROTO_TCP, TCP_QUICKACK); }

}  // namespace vcard

// A slot behind a PC/SC reader. The connection is made on open and kept;
// once the card was reset or pulled under it, or a command could not be
// carried, it is dropped and the next open connects afresh, so the library
// sees a fresh card or an open failure rather than stale card state.
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "backend.h"
#include "pcsc_handles.h"

namespace dmcos {
namespace {

constexpr std::size_t kStatusWordSize = 2;

// A context and the connection made through it; the connection goes first.
struct Link {
  pcsc::Context context;
  pcsc::Connection connection;
};

class PcscBackend final : public Backend {
 public:
  explicit PcscBackend(std::string reader) : reader_(std::move(reader)) {}

  bool open() override {
    std::lock_guard lock(mutex_);
    if (link_ && link_->connection.status() == SCARD_S_SUCCESS) return true;
    link_.reset();
    return connect();
  }

  void close() override {
    std::lock_guard lock(mutex_);
    link_.reset();
  }

  bool transmit(std::span<const std::uint8_t> command, Reply& reply) override {
    std::lock_guard lock(mutex_);
    if (!link_) return false;
    if (exchange(command, reply)) return true;
    link_.reset();
    return false;
  }

 private:
  // A fresh context each time, so that a restarted pcscd is found again.
  bool connect() {
    auto link = std::make_unique<Link>();
    if (!link->context.valid()) return false;
    for (const std::string& name : candidates(link->context)) {
      if (link->connection.connect(link->context, name) == SCARD_S_SUCCESS) {
        link_ = std::move(link);
        return true;
      }
    }
    return false;
  }

  // The configured reader, or every reader in pcscd's order for "pcsc:".
  std::vector<std::string> candidates(const pcsc::Context& context) const {
    if (!reader_.empty()) return {reader_};
    return context.readers();
  }

  bool exchange(std::span<const std::uint8_t> command, Reply& reply) {
    std::array<std::uint8_t, std::tuple_size_v<decltype(Reply::data)> + kStatusWordSize> buffer{};
    DWORD received = static_cast<DWORD>(buffer.size());
    const LONG rv = SCardTransmit(link_->connection.get(), link_->connection.pci(),
                                  command.data(), static_cast<DWORD>(command.size()), nullptr,
                                  buffer.data(), &received);
    if (rv != SCARD_S_SUCCESS || received < kStatusWordSize || received > buffer.size())
      return false;
    reply.len = received - kStatusWordSize;
    std::memcpy(reply.data.data(), buffer.data(), reply.len);
    reply.sw = static_cast<std::uint16_t>(buffer[reply.len] << 8 | buffer[reply.len + 1]);
    return true;
  }

  const std::string reader_;
  std::mutex mutex_;
  std::unique_ptr<Link> link_;
};

}  // namespace

std::unique_ptr<Backend> makePcscBackend(std::string_view readerName) {
  return std::make_unique<PcscBackend>(std::string(readerName));
}

}  // namespace dmcos

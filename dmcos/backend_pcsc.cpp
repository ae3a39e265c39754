// A slot behind a PC/SC reader. The connection is made on open and kept;
// once the card was reset or pulled under it, or a command could not be
// carried, it is dropped and the next open connects afresh, so the library
// sees a fresh card or an open failure rather than stale card state.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "backend.h"
#include "pcsc_error.h"
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

  bool open(std::string& why) override {
    if (link_ && link_->connection.status() == SCARD_S_SUCCESS) return true;
    link_.reset();
    return connect(why);
  }

  void close() override { link_.reset(); }
  // The parent's context and connection talk to pcscd over the parent's
  // socket: releasing them here would end them for the parent. The child
  // keeps the small record unfreed instead.
  void forsake() override { static_cast<void>(link_.release()); }

  bool transmit(std::span<const std::uint8_t> command, Reply& reply) override {
    if (!link_) return false;
    if (exchange(command, reply)) return true;
    link_.reset();
    return false;
  }

 private:
  // A fresh context each time, so that a restarted pcscd is found again.
  bool connect(std::string& why) {
    auto link = std::make_unique<Link>();
    if (!link->context.valid()) {
      why = noService(link->context.result());
      return false;
    }
    const std::vector<std::string> readers = link->context.readers();
    if (!reader_.empty() && std::find(readers.begin(), readers.end(), reader_) == readers.end()) {
      why = "no reader named \"" + reader_ + "\"; " + listOf(readers);
      return false;
    }
    LONG last = SCARD_E_NO_SMARTCARD;
    for (const std::string& name : reader_.empty() ? readers : std::vector{reader_}) {
      last = link->connection.connect(link->context, name);
      if (last == SCARD_S_SUCCESS) {
        link_ = std::move(link);
        return true;
      }
    }
    why = noCard(last, readers);
    return false;
  }

  static std::string noService(LONG result) {
    if (result == SCARD_E_NO_SERVICE) return "pcscd is not running";
    return std::string("PC/SC is not available: ") + pcsc::errorText(result);
  }

  static std::string listOf(const std::vector<std::string>& readers) {
    if (readers.empty()) return "pcscd knows no reader";
    std::string list = "the readers are";
    for (std::size_t i = 0; i < readers.size(); ++i)
      list += (i == 0 ? " \"" : ", \"") + readers[i] + "\"";
    return list;
  }

  std::string noCard(LONG result, const std::vector<std::string>& readers) const {
    const bool absent = result == SCARD_E_NO_SMARTCARD || result == SCARD_W_REMOVED_CARD;
    if (reader_.empty()) {
      if (readers.empty()) return "pcscd knows no reader";
      return "no reader holds a card; " + listOf(readers);
    }
    if (absent) return "no card in reader \"" + reader_ + "\"";
    return "reader \"" + reader_ + "\": " + pcsc::errorText(result);
  }

  bool exchange(std::span<const std::uint8_t> command, Reply& reply) {
    std::array<std::uint8_t, std::tuple_size_v<decltype(Reply::data)> + kStatusWordSize> buffer{};
    DWORD received = static_cast<DWORD>(buffer.size());
    const LONG rv =
        SCardTransmit(link_->connection.get(), link_->connection.pci(), command.data(),
                      static_cast<DWORD>(command.size()), nullptr, buffer.data(), &received);
    if (rv != SCARD_S_SUCCESS || received < kStatusWordSize || received > buffer.size())
      return false;
    reply.len = received - kStatusWordSize;
    std::memcpy(reply.data.data(), buffer.data(), reply.len);
    reply.sw = static_cast<std::uint16_t>(buffer[reply.len] << 8 | buffer[reply.len + 1]);
    return true;
  }

  const std::string reader_;
  std::unique_ptr<Link> link_;
};

}  // namespace

std::unique_ptr<Backend> makePcscBackend(std::string_view readerName) {
  return std::make_unique<PcscBackend>(std::string(readerName));
}

}  // namespace dmcos

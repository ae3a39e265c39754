// Owners of a PC/SC resource-manager context and of a card connection.
// pcsc-lite lets one thread at a time use a context and the connections
// made through it; whoever holds these serialises their use.
#pragma once

#include <winscard.h>

#include <string>
#include <utility>
#include <vector>

namespace dmcos::pcsc {

// Room for any reader name and ATR, on pcsc-lite and on Windows alike.
inline constexpr DWORD kReaderNameCapacity = 256;
inline constexpr DWORD kAtrCapacity = 36;

class Context {
 public:
  Context() : result_(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &handle_)) {}
  ~Context() {
    if (valid()) SCardReleaseContext(handle_);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  // False when the resource manager could not be reached (pcscd not running).
  bool valid() const { return result_ == SCARD_S_SUCCESS; }
  LONG result() const { return result_; }
  SCARDCONTEXT get() const { return handle_; }

  // The reader names in the resource manager's order; empty on any failure.
  std::vector<std::string> readers() const {
    DWORD size = 0;
    if (!valid() || SCardListReaders(handle_, nullptr, nullptr, &size) != SCARD_S_SUCCESS)
      return {};
    std::string buffer(size, '\0');
    if (SCardListReaders(handle_, nullptr, buffer.data(), &size) != SCARD_S_SUCCESS) return {};
    return splitMultiString(buffer);
  }

 private:
  static std::vector<std::string> splitMultiString(const std::string& list) {
    std::vector<std::string> names;
    for (std::size_t at = 0; at < list.size() && list[at] != '\0';) {
      const std::size_t end = list.find('\0', at);
      names.push_back(list.substr(at, end - at));
      at = end == std::string::npos ? list.size() : end + 1;
    }
    return names;
  }

  SCARDCONTEXT handle_ = 0;
  LONG result_;
};

class Connection {
 public:
  Connection() = default;
  ~Connection() { disconnect(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  Connection(Connection&& other) noexcept
      : handle_(std::exchange(other.handle_, 0)), protocol_(other.protocol_) {}
  Connection& operator=(Connection&& other) noexcept {
    if (this != &other) {
      disconnect();
      handle_ = std::exchange(other.handle_, 0);
      protocol_ = other.protocol_;
    }
    return *this;
  }

  // Shares the card with other applications, T=1 or T=0 as the card offers.
  LONG connect(const Context& context, const std::string& reader) {
    disconnect();
    return SCardConnect(context.get(), reader.c_str(), SCARD_SHARE_SHARED,
                        SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &handle_, &protocol_);
  }
  bool connected() const { return handle_ != 0; }
  SCARDHANDLE get() const { return handle_; }
  const SCARD_IO_REQUEST* pci() const {
    return protocol_ == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
  }

  // SCARD_W_RESET_CARD or SCARD_W_REMOVED_CARD once the card was reset or
  // pulled since this connection was made.
  LONG status() const {
    char reader[kReaderNameCapacity];
    DWORD readerLen = sizeof reader;
    DWORD state = 0;
    DWORD protocol = 0;
    BYTE atr[kAtrCapacity];
    DWORD atrLen = sizeof atr;
    return SCardStatus(handle_, reader, &readerLen, &state, &protocol, atr, &atrLen);
  }

  // Resets the card for every application that shares it.
  LONG reset() {
    return SCardReconnect(handle_, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                          SCARD_RESET_CARD, &protocol_);
  }

 private:
  void disconnect() {
    if (handle_ != 0) SCardDisconnect(handle_, SCARD_LEAVE_CARD);
    handle_ = 0;
  }

  SCARDHANDLE handle_ = 0;
  DWORD protocol_ = 0;
};

}  // namespace dmcos::pcsc

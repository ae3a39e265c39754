// Bytes that may hold PINs, keys or plaintext: wiped before their memory
// is given back, however the owner ends.
#pragma once

#include <openssl/crypto.h>

#include <cstdint>
#include <span>
#include <vector>

namespace common {

class SecretBytes {
 public:
  SecretBytes() = default;
  explicit SecretBytes(std::size_t size) : bytes_(size) {}
  SecretBytes(SecretBytes&& other) noexcept : bytes_(std::move(other.bytes_)) {}
  SecretBytes& operator=(SecretBytes&& other) noexcept {
    wipe();
    bytes_ = std::move(other.bytes_);
    return *this;
  }
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;
  ~SecretBytes() { wipe(); }

  // Growing moves the bytes by hand so that no unwiped copy is left in
  // memory the vector gave back.
  void push_back(std::uint8_t b) {
    if (bytes_.size() == bytes_.capacity()) regrow(bytes_.size() * 2 + 16);
    bytes_.push_back(b);
  }
  void append(std::span<const std::uint8_t> more) {
    if (bytes_.size() + more.size() > bytes_.capacity()) regrow(bytes_.size() + more.size());
    bytes_.insert(bytes_.end(), more.begin(), more.end());
  }
  // Shrinking wipes the bytes given up: the vector keeps their memory.
  void resize(std::size_t n) {
    if (n > bytes_.capacity()) regrow(n);
    if (n < bytes_.size()) OPENSSL_cleanse(bytes_.data() + n, bytes_.size() - n);
    bytes_.resize(n);
  }

  std::uint8_t* data() { return bytes_.data(); }
  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  std::span<const std::uint8_t> span() const { return bytes_; }
  std::span<std::uint8_t> span() { return bytes_; }
  bool operator==(const SecretBytes& other) const { return bytes_ == other.bytes_; }

 private:
  void regrow(std::size_t capacity) {
    std::vector<std::uint8_t> bigger;
    bigger.reserve(capacity);
    bigger.assign(bytes_.begin(), bytes_.end());
    wipe();
    bytes_.swap(bigger);
  }
  void wipe() {
    if (!bytes_.empty()) OPENSSL_cleanse(bytes_.data(), bytes_.size());
  }
  std::vector<std::uint8_t> bytes_;
};

}  // namespace common

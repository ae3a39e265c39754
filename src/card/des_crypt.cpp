#include "card/des_crypt.h"

#include <openssl/crypto.h>

namespace dal {
namespace {

// A key schedule that never outlives its use.
class Schedule {
 public:
  explicit Schedule(const std::uint8_t* key) { des::makeSchedule(key, schedule_); }
  ~Schedule() { OPENSSL_cleanse(&schedule_, sizeof schedule_); }
  Schedule(const Schedule&) = delete;
  Schedule& operator=(const Schedule&) = delete;
  DES_key_schedule* get() { return &schedule_; }

 private:
  DES_key_schedule schedule_{};
};

std::size_t keyBytesFor(std::uint32_t mode) {
  if (mode == kDesEcb || mode == kDesCbc) return kDesBlock;
  if (mode == kDes3Ecb) return 2 * kDesBlock;
  return 0;
}

bool acceptable(std::span<const std::uint8_t> key, std::span<std::uint8_t> iv,
                std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                std::uint32_t mode) {
  const std::size_t keyBytes = keyBytesFor(mode);
  if (keyBytes == 0 || key.size() < keyBytes) return false;
  if (input.size() % kDesBlock != 0 || output.size() < input.size()) return false;
  return mode != kDesCbc || iv.size() == kDesBlock;
}

void ecb(std::span<const std::uint8_t> key, std::span<const std::uint8_t> input,
         std::span<std::uint8_t> output, bool encrypt) {
  Schedule k1(key.data());
  des::ecb({k1.get()}, input.data(), output.data(), input.size(), encrypt);
}

// Two-key triple DES: K1 serves as the third key too.
void ecb3(std::span<const std::uint8_t> key, std::span<const std::uint8_t> input,
          std::span<std::uint8_t> output, bool encrypt) {
  Schedule k1(key.data());
  Schedule k2(key.data() + kDesBlock);
  des::ecb({k1.get(), k2.get(), k1.get()}, input.data(), output.data(), input.size(), encrypt);
}

void cbc(std::span<const std::uint8_t> key, std::span<std::uint8_t> iv,
         std::span<const std::uint8_t> input, std::span<std::uint8_t> output, bool encrypt) {
  Schedule k1(key.data());
  des::cbc({k1.get()}, *reinterpret_cast<DES_cblock*>(iv.data()), input.data(), output.data(),
           static_cast<long>(input.size()), encrypt);
}

}  // namespace

std::int32_t DalDesCrypt(std::span<const std::uint8_t> key, std::span<std::uint8_t> iv,
                         std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                         int direction, std::uint32_t mode) {
  if (!acceptable(key, iv, input, output, mode)) return kDesRefused;
  const bool encrypt = direction == kDesEncrypt;
  if (mode == kDesEcb) ecb(key, input, output, encrypt);
  if (mode == kDesCbc) cbc(key, iv, input, output, encrypt);
  if (mode == kDes3Ecb) ecb3(key, input, output, encrypt);
  return 0;
}

}  // namespace dal

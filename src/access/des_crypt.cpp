// libcrypto's low-level DES is what these cryptograms need block by block.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "access/des_crypt.h"

#include <openssl/crypto.h>
#include <openssl/des.h>

#include <algorithm>

namespace dal {
namespace {

// A key schedule that never outlives its use.
class Schedule {
 public:
  explicit Schedule(const std::uint8_t* key) {
    DES_cblock block;
    std::copy_n(key, kDesBlock, block);
    DES_set_key_unchecked(&block, &schedule_);
    OPENSSL_cleanse(block, sizeof block);
  }
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

// One block in, one block out; `in` and `out` may be the same block.
template <typename BlockFn>
void eachBlock(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, BlockFn fn) {
  for (std::size_t at = 0; at < input.size(); at += kDesBlock) {
    DES_cblock in;
    std::copy_n(input.data() + at, kDesBlock, in);
    fn(&in, reinterpret_cast<DES_cblock*>(output.data() + at));
    OPENSSL_cleanse(in, sizeof in);
  }
}

void ecb(std::span<const std::uint8_t> key, std::span<const std::uint8_t> input,
         std::span<std::uint8_t> output, int direction) {
  Schedule k1(key.data());
  eachBlock(input, output, [&](DES_cblock* in, DES_cblock* out) {
    DES_ecb_encrypt(in, out, k1.get(), direction);
  });
}

void ecb3(std::span<const std::uint8_t> key, std::span<const std::uint8_t> input,
          std::span<std::uint8_t> output, int direction) {
  Schedule k1(key.data());
  Schedule k2(key.data() + kDesBlock);
  eachBlock(input, output, [&](DES_cblock* in, DES_cblock* out) {
    DES_ecb3_encrypt(in, out, k1.get(), k2.get(), k1.get(), direction);
  });
}

void cbc(std::span<const std::uint8_t> key, std::span<std::uint8_t> iv,
         std::span<const std::uint8_t> input, std::span<std::uint8_t> output, int direction) {
  Schedule k1(key.data());
  DES_ncbc_encrypt(input.data(), output.data(), static_cast<long>(input.size()), k1.get(),
                   reinterpret_cast<DES_cblock*>(iv.data()), direction);
}

}  // namespace

std::int32_t DalDesCrypt(std::span<const std::uint8_t> key, std::span<std::uint8_t> iv,
                         std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                         int direction, std::uint32_t mode) {
  if (!acceptable(key, iv, input, output, mode)) return kDesRefused;
  const int enc = direction == kDesEncrypt ? DES_ENCRYPT : DES_DECRYPT;
  if (mode == kDesEcb) ecb(key, input, output, enc);
  if (mode == kDesCbc) cbc(key, iv, input, output, enc);
  if (mode == kDes3Ecb) ecb3(key, input, output, enc);
  return 0;
}

}  // namespace dal

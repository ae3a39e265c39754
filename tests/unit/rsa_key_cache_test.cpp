// The software RSA key cache: a kept key is served again, a changed
// modulus is never served a stale key, the cache stays bounded, and
// threads with different keys each get their own results.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "keys/rsa_key_cache.h"
#include "norv_dal_tkp30.h"
#include "support/rsa_test_keys.h"

namespace {

using rsatest::Bytes;

// A modulus of the same length as `n` that differs in one byte in the
// middle; still odd, so libcrypto computes with it.
Bytes alteredModulus(const Bytes& n, std::uint8_t delta) {
  Bytes altered = n;
  altered[altered.size() / 2] = static_cast<std::uint8_t>(altered[altered.size() / 2] + delta);
  return altered;
}

// What the raw export gives for `in`, or an empty result on failure.
Bytes exportRaw(const Bytes& n, const Bytes& in) {
  Bytes out(256);
  int32_t outLen = 0;
  if (NORV_DAL_RsaPublicKeyRaw(n.data(), static_cast<uint32_t>(n.size()), in.data(),
                               static_cast<int32_t>(in.size()), out.data(), &outLen) != 0)
    return {};
  out.resize(static_cast<std::size_t>(outLen));
  return out;
}

Bytes belowAnyModulus(std::size_t size) {
  Bytes in(size, 0x3C);
  in[0] = 0x00;
  return in;
}

TEST(RsaKeyCache, KeepsTheLastKeysAndLetsTheLeastRecentlyUsedGo) {
  const Bytes n = rsatest::modulus(rsatest::generate(1024).get());
  const auto r1 = dal::makePublicKeyRecord(n);
  const auto r2 = dal::makePublicKeyRecord(alteredModulus(n, 2));
  const auto r3 = dal::makePublicKeyRecord(alteredModulus(n, 4));
  dal::RsaKeyCache cache(2);
  const auto first = cache.get(r1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(cache.get(r1), first);
  const auto second = cache.get(r2);
  EXPECT_NE(second, first);
  EXPECT_EQ(cache.get(r1), first);  // r2 is now the least recently used
  cache.get(r3);
  EXPECT_EQ(cache.size(), 2u);
  EXPECT_EQ(cache.get(r1), first);
  EXPECT_NE(cache.get(r2), second);  // built again
}

TEST(RsaKeyCache, AChangedModulusOfTheSameLengthIsNeverServedAStaleKey) {
  const rsatest::Pkey key = rsatest::generate(1024);
  const Bytes n = rsatest::modulus(key.get());
  const Bytes message = belowAnyModulus(n.size());
  const Bytes signature = rsatest::privateRaw(key.get(), message);
  ASSERT_EQ(exportRaw(n, signature), message);
  for (int delta : {2, 4, 6}) {
    const Bytes other = alteredModulus(n, static_cast<std::uint8_t>(delta));
    const Bytes expected = rsatest::publicRaw(rsatest::publicKey(other).get(), signature);
    EXPECT_EQ(exportRaw(other, signature), expected) << "delta " << delta;
    EXPECT_NE(expected, message);
  }
  EXPECT_EQ(exportRaw(n, signature), message);
}

// More keys than the cache keeps, shared out among threads: every call
// races others' look-ups, builds and evictions.
TEST(RsaKeyCache, ThreadsWithDifferentKeysGetTheirOwnResults) {
  struct Case {
    Bytes n, in, expected;
  };
  std::vector<Case> cases;
  for (unsigned bits : {1024u, 2048u}) {
    const Bytes n = rsatest::modulus(rsatest::generate(bits).get());
    for (std::uint8_t delta = 0; delta < 12; delta += 2) {
      const Bytes m = alteredModulus(n, delta);
      const Bytes in = belowAnyModulus(m.size());
      cases.push_back({m, in, rsatest::publicRaw(rsatest::publicKey(m).get(), in)});
    }
  }
  constexpr std::size_t kThreads = 4;
  constexpr int kRounds = 25;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round)
        for (std::size_t k = t; k < cases.size(); k += kThreads)
          if (exportRaw(cases[k].n, cases[k].in) != cases[k].expected) ++wrong;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_LE(dal::softRsaKeyCache().size(), 8u);
}

}  // namespace

// The tkp30 tool's parsers of what a user types or hands in: hex (keys,
// IVs, data), PEM private keys, and certificate subjects. The first byte
// picks the parser, the rest is its input. Refusals are exceptions the
// tool turns into messages; anything else (a crash, a sanitizer report,
// an escaping exception of another kind) is a finding.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/secret_bytes.h"
#include "crypto/certificates.h"
#include "crypto/rsa_pem.h"
#include "io/hex.h"
#include "io/tool_error.h"

namespace {

// Longer than libcrypto's pass phrase buffer, so the tool's callback
// refuses it before any key derivation: an input cannot make the fuzzer
// wait on an iteration count it chose, and no terminal is ever asked.
common::SecretBytes unusablePassphrase() { return common::SecretBytes(4096); }

void parse(std::uint8_t which, std::span<const std::uint8_t> input) {
  const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
  switch (which % 4) {
    case 0: {
      common::SecretBytes key;
      (void)tkp30::parseHex(text, key);
      break;
    }
    case 1: (void)tkp30::parseHex(text); break;
    case 2: (void)tkp30::parsePrivateKeyPem(input, "fuzz.pem", unusablePassphrase()); break;
    default: (void)tkp30::parseSubject(std::string(text)); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  try {
    parse(data[0], {data + 1, size - 1});
  } catch (const tkp30::Failure&) {
  } catch (const tkp30::UsageError&) {
  }
  return 0;
}

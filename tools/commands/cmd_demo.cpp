// tkp30 demo: the whole tour on a fresh emulated token in a temporary
// folder, each step printed with its result.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "common/digest_info.h"
#include "common/rsa1024.h"
#include "common/token_shape.h"
#include "crypto/digest.h"
#include "io/hex.h"
#include "io/result_text.h"
#include "io/tool_error.h"
#include "norv_dal_tkp30.h"
#include "platform/file_system.h"
#include "token/cipher_stream.h"
#include "token/token_checks.h"
#include "token/token_select.h"

namespace tkp30 {
namespace {

namespace fs = std::filesystem;

// The demo token's PINs: it lives only for the demo, in a private folder.
constexpr char kSuperPin[] = "11223344";
constexpr char kUserPin[] = "123456";
constexpr char kWrongPin[] = "000000";
constexpr std::int32_t kFileType = 1;
constexpr std::int32_t kFileIndex = 0;
constexpr std::int32_t kFileSize = 64;
constexpr std::int32_t kRandomBytes = 16;

struct DemoOptions {};

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void expect(bool condition, const std::string& what) {
  if (!condition) throw Failure(what);
}

// A private folder that is removed with everything in it.
class TempDir {
 public:
  TempDir() : path_(makePrivateTempDir("tkp30-demo.")) {
    if (path_.empty()) throw Failure("cannot create a temporary folder");
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string formatToken() {
  check(NORV_DAL_FormatDevice(bytesOf(kSuperPin).data(), 8, bytesOf(kUserPin).data(), 6), "format");
  return "super PIN and user PIN set";
}

std::string refuseWrongPin() {
  const std::int32_t rv = NORV_DAL_Login(NORV_DAL_LOGIN_USER, bytesOf(kWrongPin).data(), 6);
  expect(rv > 0, "a wrong PIN was not refused with the tries left");
  return "refused: " + describeResult(rv);
}

std::string loginUser() {
  check(NORV_DAL_Login(NORV_DAL_LOGIN_USER, bytesOf(kUserPin).data(), 6), "log in");
  expect(isLoggedIn(NORV_DAL_LOGIN_USER), "the token does not report the login");
  return "user PIN verified";
}

std::string userDataFile() {
  const std::string text = "hello from the tkp30 demo";
  check(NORV_DAL_CreateUsrDataFile(kFileType, kFileIndex, kFileSize, 1, 1), "create the file");
  check(NORV_DAL_WriteUsrDataFile(kFileType, kFileIndex, 0, static_cast<std::int32_t>(text.size()),
                                  bytesOf(text).data()),
        "write the file");
  std::string back(text.size(), '\0');
  check(NORV_DAL_ReadUsrDataFile(kFileType, kFileIndex, 0, static_cast<std::int32_t>(back.size()),
                                 reinterpret_cast<std::uint8_t*>(back.data())),
        "read the file");
  expect(back == text, "the file read back differs from what was written");
  return "wrote and read back \"" + back + "\"";
}

struct KeyPair {
  std::int32_t pubKeyId = 0;
  std::int32_t priKeyId = 0;
};

std::string generateKeyPair(KeyPair& pair) {
  check(NORV_DAL_GenRsaKeyPair(common::kModulusBits, &pair.pubKeyId, &pair.priKeyId),
        "generate a key pair");
  return "1024-bit pair in slot " + std::to_string(pair.pubKeyId - common::kPublicKeyFileBase);
}

bool signatureMatches(std::span<const std::uint8_t> modulus,
                      std::span<const std::uint8_t> signature,
                      const std::vector<std::uint8_t>& expected) {
  std::array<std::uint8_t, common::kModulusBytes> recovered{};
  std::int32_t length = 0;
  const std::int32_t rv =
      NORV_DAL_Pkcs1RsaPublicKeyDec(modulus.data(), common::kModulusBytes, signature.data(),
                                    common::kModulusBytes, recovered.data(), &length);
  return rv == NORV_DAL_OK && static_cast<std::size_t>(length) == expected.size() &&
         std::equal(expected.begin(), expected.end(), recovered.begin());
}

// The DigestInfo a SHA-256 signature of `message` carries.
std::vector<std::uint8_t> sha256Info(std::span<const std::uint8_t> message) {
  return common::digestInfo(common::Hash::Sha256, sha256Of(message));
}

std::string signAndVerify(const KeyPair& pair) {
  const auto message = bytesOf("a message signed on the token");
  const common::RsaBlock block = *common::signatureBlock(sha256Info(message));
  common::RsaBlock signature{};
  std::int32_t length = 0;
  check(NORV_DAL_RsaPrivateKeyRaw(pair.priKeyId, block.data(), common::kModulusBytes,
                                  signature.data(), &length),
        "sign");
  std::array<std::uint8_t, common::kModulusBytes> modulus{};
  check(NORV_DAL_GetPublicKey(pair.pubKeyId, modulus.data(), &length), "read the public key");
  expect(signatureMatches(modulus, signature, sha256Info(message)),
         "the software RSA rejects the token's signature");
  expect(!signatureMatches(modulus, signature, sha256Info(bytesOf("another message"))),
         "the signature also matches another message");
  return "SHA-256 signature accepted by the software RSA, refused for another message";
}

std::vector<std::uint8_t> runThrough(const CipherChoice& choice, Direction direction,
                                     std::span<const std::uint8_t> in) {
  const auto cipher = openCipher(choice, direction);
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> piece;
  cipher->update(in, piece);
  out.insert(out.end(), piece.begin(), piece.end());
  cipher->finish(piece);
  out.insert(out.end(), piece.begin(), piece.end());
  return out;
}

std::string roundTrip(Algorithm algorithm, std::string_view keyHex, std::string_view ivHex) {
  CipherChoice choice;
  choice.algorithm = algorithm;
  parseHex(keyHex, choice.key);
  choice.iv = *parseHex(ivHex);
  const auto plain = bytesOf("Two blocks and a bit of plaintext for the round trip.");
  const auto cipher = runThrough(choice, Direction::Encrypt, plain);
  const auto back = runThrough(choice, Direction::Decrypt, cipher);
  expect(!std::equal(plain.begin(), plain.end(), cipher.begin()),
         "the ciphertext is the plaintext");
  expect(std::equal(plain.begin(), plain.end(), back.begin(), back.end()),
         "decryption did not give the plaintext back");
  return std::to_string(plain.size()) + " bytes -> " + std::to_string(cipher.size()) +
         " bytes (CBC) -> the same " + std::to_string(back.size()) + " bytes";
}

std::string randomBytes() {
  std::array<std::uint8_t, kRandomBytes> first{};
  std::array<std::uint8_t, kRandomBytes> second{};
  check(NORV_DAL_GenRand(kRandomBytes, first.data()), "draw random bytes");
  check(NORV_DAL_GenRand(kRandomBytes, second.data()), "draw random bytes");
  expect(first != second, "two draws gave the same bytes");
  return toHex(first);
}

std::string logoutUser() {
  check(NORV_DAL_Logout(NORV_DAL_LOGIN_USER), "log out");
  expect(!isLoggedIn(NORV_DAL_LOGIN_USER), "the token still reports the login");
  return "user PIN no longer logged in";
}

struct Step {
  const char* title;
  std::function<std::string()> run;
};

std::vector<Step> tour(KeyPair& pair) {
  return {
      {"format the token", formatToken},
      {"log in with a wrong user PIN", refuseWrongPin},
      {"log in with the user PIN", loginUser},
      {"user data file round trip", userDataFile},
      {"generate a key pair on the token", [&pair] { return generateKeyPair(pair); }},
      {"sign on the token, verify in software", [&pair] { return signAndVerify(pair); }},
      {"SSF33 round trip on the token",
       [] {
         return roundTrip(Algorithm::Ssf33, "00112233445566778899aabbccddeeff",
                          "0f0e0d0c0b0a09080706050403020100");
       }},
      {"triple-DES round trip",
       [] {
         return roundTrip(Algorithm::TripleDes, "0123456789abcdeffedcba98765432100123456789abcdef",
                          "1122334455667788");
       }},
      {"DES round trip",
       [] { return roundTrip(Algorithm::Des, "133457799bbcdff1", "0001020304050607"); }},
      {"random bytes from the token", randomBytes},
      {"log out", logoutUser},
  };
}

bool runStep(std::size_t number, const Step& step) {
  std::cout << std::to_string(number) << ". " << step.title << ": " << std::flush;
  try {
    std::cout << "ok - " << step.run() << "\n";
    return true;
  } catch (const LibraryError& e) {
    std::cout << "FAILED - " << e.what() << ": " << describeResult(e.code()) << " (code "
              << e.code() << ")\n";
  } catch (const std::exception& e) {
    std::cout << "FAILED - " << e.what() << "\n";
  }
  return false;
}

void demo(const DemoOptions&) {
  const TempDir dir;
  const std::string image = (dir.path() / "token.img").string();
  selectEmulator(image);
  // The demo's token is its own, but a program of ours that drives a token
  // takes the lock all the same.
  const auto token = openToken();
  std::cout << "tkp30 demo on a fresh emulated token: " << image << "\n";
  KeyPair pair;
  const auto steps = tour(pair);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (!runStep(i + 1, steps[i]))
      throw Failure("demo stopped at step " + std::to_string(i + 1) + " of " +
                    std::to_string(steps.size()));
  }
  std::cout << "demo finished: all " << steps.size() << " steps did what they should\n";
}

}  // namespace

void addDemoCommand(CLI::App& app, Action& action) {
  auto* command = app.add_subcommand(
      "demo", "Run the whole tour on a fresh emulated token in a temporary folder");
  onRun(*command, action, std::make_shared<DemoOptions>(), demo);
}

}  // namespace tkp30

// RSA key pairs on the token, their use, and the token's random numbers.
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "commands/io_options.h"
#include "commands/key_options.h"
#include "common/digest_info.h"
#include "common/rsa1024.h"
#include "common/secret_bytes.h"
#include "common/token_shape.h"
#include "crypto/digest.h"
#include "crypto/public_key_forms.h"
#include "crypto/rsa_pem.h"
#include "io/data_io.h"
#include "io/file_io.h"
#include "io/tool_error.h"
#include "norv_dal_tkp30.h"
#include "platform/interrupt.h"
#include "token/token_checks.h"
#include "token/token_select.h"

namespace tkp30 {
namespace {

// Random bytes are drawn in pieces no larger than one card response.
constexpr std::int32_t kRandomPiece = 64;
constexpr std::int32_t kMaxRandomBytes = 1 << 20;

struct KeyOptions {
  int slot = 0;
  std::string in;
  std::string out = "-";
  std::string signature;
  std::string passin;
  std::int32_t count = 0;
  common::Hash hash = common::Hash::Sha256;
  bool der = false;
  bool ssh = false;
  DataOut dataOut;
};

void reportSlot(const char* what, std::int32_t pubKeyId, std::int32_t priKeyId) {
  std::cout << what << " key pair in slot " << (pubKeyId - common::kPublicKeyFileBase)
            << " (public-key file 0x" << std::hex << pubKeyId << ", private-key file 0x" << priKeyId
            << std::dec << ")\n";
}

common::RsaBlock privateOperation(int slot, std::span<const std::uint8_t> block) {
  common::RsaBlock out{};
  std::int32_t length = 0;
  check(NORV_DAL_RsaPrivateKeyRaw(common::privateKeyFile(slot), block.data(),
                                  static_cast<std::int32_t>(block.size()), out.data(), &length),
        "apply the private key");
  return out;
}

void keygen(const KeyOptions&) {
  const auto token = openToken();
  requireLogin(PinNeeded::Either, "keygen");
  requireFreeKeySlot();
  std::int32_t pubKeyId = 0;
  std::int32_t priKeyId = 0;
  check(NORV_DAL_GenRsaKeyPair(common::kModulusBits, &pubKeyId, &priKeyId), "generate a key pair");
  reportSlot("generated", pubKeyId, priKeyId);
}

void importKey(const KeyOptions& o) {
  std::optional<common::SecretBytes> passphrase;
  if (!o.passin.empty()) passphrase = readPassphrase(o.passin);
  const TokenPrivateKey key = readPrivateKeyPem(o.in, passphrase);
  const auto token = openToken();
  requireLogin(PinNeeded::Either, "import");
  requireFreeKeySlot();
  std::int32_t pubKeyId = 0;
  std::int32_t priKeyId = 0;
  check(NORV_DAL_ImportRsaKeyPair(0, key.modulus.data(), 0, key.prime1.data(), key.prime2.data(),
                                  key.exponent1.data(), key.exponent2.data(),
                                  key.coefficient.data(), &pubKeyId, &priKeyId),
        "import the key pair");
  reportSlot("imported", pubKeyId, priKeyId);
}

void pubkey(const KeyOptions& o) {
  if (o.der && o.ssh) throw UsageError("choose one of --der and --ssh");
  Modulus modulus{};
  {
    const auto token = openToken();
    modulus = requireKeyPair(o.slot);
  }
  if (o.der) return writeWholeFile(o.out, publicKeyDer(modulus));
  const std::string text =
      o.ssh ? publicKeySsh(modulus, "tkp30-key-" + std::to_string(o.slot)) : publicKeyPem(modulus);
  writeTextFile(o.out, text);
}

void sign(const KeyOptions& o) {
  const auto block = common::signatureBlock(common::digestInfo(o.hash, digestOfFile(o.hash, o.in)));
  if (!block) throw UsageError("the digest does not fit a 1024-bit signature");
  common::RsaBlock signature{};
  {
    const auto token = openToken();
    requireKeyPair(o.slot);
    requireLogin(PinNeeded::Either, "sign");
    signature = privateOperation(o.slot, *block);
  }
  writeWholeFile(o.out, signature);
}

void verify(const KeyOptions& o) {
  const auto expected = common::digestInfo(o.hash, digestOfFile(o.hash, o.in));
  const auto signature = readWholeFile(o.signature);
  if (signature.size() != common::kModulusBytes) throw Failure("a signature is 128 bytes");
  Modulus modulus{};
  {
    const auto token = openToken();
    modulus = requireKeyPair(o.slot);
  }
  std::array<std::uint8_t, common::kModulusBytes> recovered{};
  std::int32_t length = 0;
  const std::int32_t rv =
      NORV_DAL_Pkcs1RsaPublicKeyDec(modulus.data(), common::kModulusBytes, signature.data(),
                                    common::kModulusBytes, recovered.data(), &length);
  const bool good = rv == NORV_DAL_OK && static_cast<std::size_t>(length) == expected.size() &&
                    std::equal(expected.begin(), expected.end(), recovered.begin());
  if (!good) throw Failure("signature does NOT match");
  std::cout << "signature OK\n";
}

void rsaEncrypt(const KeyOptions& o) {
  const auto plain = readWholeFile(o.in);
  if (plain.size() > common::kMaxEncryptedMessage)
    throw Failure("at most 117 bytes fit one RSA block");
  Modulus modulus{};
  {
    const auto token = openToken();
    modulus = requireKeyPair(o.slot);
  }
  common::RsaBlock cipher{};
  std::int32_t length = 0;
  check(NORV_DAL_Pkcs1RsaPublicKeyEnc(modulus.data(), common::kModulusBytes, plain.data(),
                                      static_cast<std::int32_t>(plain.size()), cipher.data(),
                                      &length),
        "encrypt");
  writeWholeFile(o.out, cipher);
}

void rsaDecrypt(const KeyOptions& o) {
  const auto cipher = readWholeFile(o.in);
  if (cipher.size() != common::kModulusBytes) throw Failure("an RSA ciphertext is 128 bytes");
  common::RsaBlock block{};
  {
    const auto token = openToken();
    requireKeyPair(o.slot);
    requireLogin(PinNeeded::Either, "rsa-decrypt");
    block = privateOperation(o.slot, cipher);
  }
  const auto plain = common::encryptedMessage(block);
  OPENSSL_cleanse(block.data(), block.size());
  if (!plain) throw Failure("the decrypted block is not PKCS #1 v1.5 encryption padding");
  writeWholeFile(o.out, plain->span());
}

void rand(const KeyOptions& o) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(o.count));
  {
    const auto token = openToken();
    for (std::int32_t done = 0; done < o.count; done += kRandomPiece) {
      throwIfInterrupted();  // a megabyte takes a while: Ctrl-C need not wait for it
      const std::int32_t piece = std::min(kRandomPiece, o.count - done);
      check(NORV_DAL_GenRand(piece, bytes.data() + done), "draw random bytes");
    }
  }
  writeData(o.dataOut, bytes);
}

// The family's commands, added in the order --help lists them, sharing
// one set of options.
struct KeyCommands {
  CLI::App& app;
  Action& action;
  std::shared_ptr<KeyOptions> o;

  CLI::App* add(const std::string& name, const std::string& help,
                void (*body)(const KeyOptions&)) const {
    auto* command = app.add_subcommand(name, help);
    onRun(*command, action, o, body);
    return command;
  }
};

void addKeyPairCommands(const KeyCommands& family) {
  KeyOptions& o = *family.o;
  family.add("keygen", "Generate a 1024-bit key pair on the token (needs a login)", keygen);

  auto* importCommand = family.add(
      "import", "Import a 1024-bit RSA private key from a PEM file (needs a login)", importKey);
  importCommand->add_option("-i,--in", o.in, "PEM file of the private key")->required();
  importCommand->add_option("--passin", o.passin,
                            "Pass phrase of an encrypted key: env:VARIABLE or file:PATH "
                            "(without it the tool asks on the terminal)");

  auto* pub = family.add("pubkey", "Write a key pair's public key (PEM, DER or OpenSSH)", pubkey);
  addKeySlotOption(*pub, o.slot);
  pub->add_option("-o,--out", o.out, "File to write (default: stdout)");
  pub->add_flag("--der", o.der, "DER SubjectPublicKeyInfo instead of PEM");
  pub->add_flag("--ssh", o.ssh, "An OpenSSH public key line (authorized_keys)");
}

void addKeyUseCommands(const KeyCommands& family) {
  KeyOptions& o = *family.o;
  auto* signCommand = family.add("sign", "PKCS #1 v1.5 signature of a file (needs a login)", sign);
  addKeySlotOption(*signCommand, o.slot);
  addHashOption(*signCommand, o.hash);
  signCommand->add_option("-i,--in", o.in, "File to sign")->required();
  signCommand->add_option("-o,--out", o.out, "Signature file to write (128 bytes)")->required();

  auto* verifyCommand =
      family.add("verify", "Check a signature with a key pair's public key", verify);
  addKeySlotOption(*verifyCommand, o.slot);
  addHashOption(*verifyCommand, o.hash);
  verifyCommand->add_option("-i,--in", o.in, "Signed file")->required();
  verifyCommand->add_option("-s,--signature", o.signature, "Signature file")->required();

  auto* encryptCommand = family.add(
      "rsa-encrypt", "PKCS #1 v1.5 encryption with a key pair's public key (up to 117 bytes)",
      rsaEncrypt);
  addKeySlotOption(*encryptCommand, o.slot);
  encryptCommand->add_option("-i,--in", o.in, "Plaintext file")->required();
  encryptCommand->add_option("-o,--out", o.out, "Ciphertext file to write")->required();

  auto* decryptCommand =
      family.add("rsa-decrypt",
                 "Decrypt with a key pair's private key on the token (needs a login)", rsaDecrypt);
  addKeySlotOption(*decryptCommand, o.slot);
  decryptCommand->add_option("-i,--in", o.in, "Ciphertext file (128 bytes)")->required();
  decryptCommand->add_option("-o,--out", o.out, "Plaintext file to write")->required();
}

}  // namespace

void addKeyCommands(CLI::App& app, Action& action) {
  const KeyCommands family{app, action, std::make_shared<KeyOptions>()};
  addKeyPairCommands(family);
  addKeyUseCommands(family);
  auto* randCommand = family.add("rand", "Random bytes from the token", rand);
  randCommand->add_option("count", family.o->count, "Number of bytes")
      ->required()
      ->check(numberIn(1, kMaxRandomBytes));
  addDataOutOptions(*randCommand, family.o->dataOut);
}

}  // namespace tkp30

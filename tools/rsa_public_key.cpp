#include "rsa_public_key.h"

#include <openssl/core_names.h>
#include <openssl/pem.h>

#include "tool_error.h"

namespace tkp30 {
namespace {

constexpr char kSshKeyType[] = "ssh-rsa";
// RSA's key type by its object identifier: libcrypto then builds the key
// with its own provider. By its short name "RSA" it would first ask any
// ENGINE registered for RSA in the process, which cannot build a key from
// parameters.
constexpr char kRsaKeyType[] = "1.2.840.113549.1.1.1";

// The SSH wire format: a string or an mpint is a 32-bit big-endian
// length and its bytes; an mpint whose top bit is set gets a zero byte
// in front so that it stays positive.
void putLength(std::vector<std::uint8_t>& out, std::size_t length) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>((length >> shift) & 0xFF));
}

void putString(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
  putLength(out, bytes.size());
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void putMpint(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bigEndian) {
  while (!bigEndian.empty() && bigEndian.front() == 0) bigEndian = bigEndian.subspan(1);
  const bool pad = !bigEndian.empty() && (bigEndian.front() & 0x80) != 0;
  putLength(out, bigEndian.size() + (pad ? 1 : 0));
  if (pad) out.push_back(0);
  out.insert(out.end(), bigEndian.begin(), bigEndian.end());
}

std::string base64(std::span<const std::uint8_t> bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(n));
  return text;
}

}  // namespace

Owned<EVP_PKEY> publicKeyOf(std::span<const std::uint8_t> modulus) {
  Owned<BIGNUM> n(BN_bin2bn(modulus.data(), static_cast<int>(modulus.size()), nullptr));
  Owned<BIGNUM> e(BN_new());
  Owned<OSSL_PARAM_BLD> build(OSSL_PARAM_BLD_new());
  if (!n || !e || !build || BN_set_word(e.get(), kPublicExponent) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1)
    throw Failure("cannot build the public key");
  Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(build.get()));
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, kRsaKeyType, nullptr));
  EVP_PKEY* raw = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &raw, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
    throw Failure("the token's modulus is not a usable RSA key");
  return Owned<EVP_PKEY>(raw);
}

std::string publicKeyPem(std::span<const std::uint8_t> modulus) {
  const auto key = publicKeyOf(modulus);
  Owned<BIO> bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_PUBKEY(bio.get(), key.get()) != 1) throw Failure("cannot write PEM");
  char* text = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &text);
  return std::string(text, static_cast<std::size_t>(length));
}

std::vector<std::uint8_t> publicKeyDer(std::span<const std::uint8_t> modulus) {
  const auto key = publicKeyOf(modulus);
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(key.get(), &der);
  if (length <= 0) throw Failure("cannot write DER");
  std::vector<std::uint8_t> out(der, der + length);
  OPENSSL_free(der);
  return out;
}

std::string publicKeySsh(std::span<const std::uint8_t> modulus, const std::string& comment) {
  const std::uint8_t exponent[] = {0x01, 0x00, 0x01};
  std::vector<std::uint8_t> blob;
  putString(blob, {reinterpret_cast<const std::uint8_t*>(kSshKeyType), sizeof kSshKeyType - 1});
  putMpint(blob, exponent);
  putMpint(blob, modulus);
  return std::string(kSshKeyType) + " " + base64(blob) + " " + comment + "\n";
}

}  // namespace tkp30

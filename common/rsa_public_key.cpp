#include "common/rsa_public_key.h"

#include <openssl/core_names.h>

#include "common/rsa1024.h"

namespace common {
namespace {

// RSA's key type by its object identifier: libcrypto then builds the key
// with its own provider. By its short name "RSA" it would first ask any
// ENGINE registered for RSA, which cannot build a key from parameters.
constexpr char kRsaKeyType[] = "1.2.840.113549.1.1.1";
constexpr char kSshKeyType[] = "ssh-rsa";

// The SSH wire format: a string or an mpint is a 32-bit big-endian
// length and its bytes; an mpint whose top bit is set gets a zero byte
// in front so that it stays positive.
void putLength(Bytes& out, std::size_t length) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>((length >> shift) & 0xFF));
}

void putString(Bytes& out, ByteView bytes) {
  putLength(out, bytes.size());
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void putMpint(Bytes& out, ByteView bigEndian) {
  while (!bigEndian.empty() && bigEndian.front() == 0) bigEndian = bigEndian.subspan(1);
  const bool pad = !bigEndian.empty() && (bigEndian.front() & 0x80) != 0;
  putLength(out, bigEndian.size() + (pad ? 1 : 0));
  if (pad) out.push_back(0);
  out.insert(out.end(), bigEndian.begin(), bigEndian.end());
}

std::string base64(ByteView bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(n));
  return text;
}

Owned<OSSL_PARAM> keyParameters(ByteView modulus) {
  Owned<BIGNUM> n(BN_bin2bn(modulus.data(), static_cast<int>(modulus.size()), nullptr));
  Owned<BIGNUM> e(BN_new());
  Owned<OSSL_PARAM_BLD> build(OSSL_PARAM_BLD_new());
  if (!n || !e || !build || BN_set_word(e.get(), kPublicExponent) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1)
    return nullptr;
  return Owned<OSSL_PARAM>(OSSL_PARAM_BLD_to_param(build.get()));
}

}  // namespace

Owned<EVP_PKEY> rsaPublicKey(ByteView modulus) {
  const Owned<OSSL_PARAM> params = keyParameters(modulus);
  const Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, kRsaKeyType, nullptr));
  EVP_PKEY* key = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
    return nullptr;
  return Owned<EVP_PKEY>(key);
}

Bytes subjectPublicKeyInfo(EVP_PKEY* key) { return derOf(key, i2d_PUBKEY); }

std::string opensshPublicKey(ByteView modulus, const std::string& comment) {
  Bytes blob;
  putString(blob, {reinterpret_cast<const std::uint8_t*>(kSshKeyType), sizeof kSshKeyType - 1});
  putMpint(blob, kPublicExponentBytes);
  putMpint(blob, modulus);
  return std::string(kSshKeyType) + " " + base64(blob) + " " + comment + "\n";
}

}  // namespace common

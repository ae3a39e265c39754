#include "module/key_operations.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include "common/rsa1024.h"
#include "token/token_keys.h"

namespace p11 {
namespace {

CK_ATTRIBUTE_TYPE usageAttribute(Purpose purpose) {
  switch (purpose) {
    case Purpose::Sign: return CKA_SIGN;
    case Purpose::Verify: return CKA_VERIFY;
    case Purpose::Encrypt: return CKA_ENCRYPT;
    case Purpose::Decrypt: return CKA_DECRYPT;
  }
  return CKA_SIGN;
}

bool needsPrivateKey(Purpose purpose) {
  return purpose == Purpose::Sign || purpose == Purpose::Decrypt;
}

// The key the operation needs of its slot, read from the token the first
// time. Signing a padded block needs only the slot on the token.
CK_RV takeKey(Module& module, Purpose purpose, KeyOperation& op) {
  if (purpose == Purpose::Sign && op.mechanism.padding.padding != Padding::Raw) return CKR_OK;
  TokenLock lock(module.tokenMutex());
  const SlotKey* slotKey = module.objects.slotKey(lock, op.slot);
  if (slotKey == nullptr) return CKR_KEY_HANDLE_INVALID;
  op.modulus = slotKey->modulus;
  if (needsPrivateKey(purpose)) return CKR_OK;
  if (!slotKey->key || EVP_PKEY_up_ref(slotKey->key.get()) != 1) return CKR_FUNCTION_FAILED;
  op.publicKey.reset(slotKey->key.get());
  return CKR_OK;
}

}  // namespace

CK_RV startKeyOperation(Module& module, Purpose purpose, const CK_MECHANISM* mechanism,
                        CK_OBJECT_HANDLE key, std::unique_ptr<KeyOperation>& out) {
  if (mechanism == nullptr) return CKR_ARGUMENTS_BAD;
  auto op = std::make_unique<KeyOperation>();
  if (const CK_RV rv = parseKeyMechanism(mechanism, purpose, op->mechanism); rv != CKR_OK)
    return rv;
  // Looked up among private objects too, so that a key the application may
  // not use yet says why.
  const Object* object = module.lookUp(key, true);
  if (object == nullptr ||
      (object->kind != ObjectKind::PrivateKey && object->kind != ObjectKind::PublicKey))
    return CKR_KEY_HANDLE_INVALID;
  if (object->isPrivate && !module.login.user()) return CKR_USER_NOT_LOGGED_IN;
  const ObjectKind wanted =
      needsPrivateKey(purpose) ? ObjectKind::PrivateKey : ObjectKind::PublicKey;
  if (object->kind != wanted || !object->attributes.boolOr(usageAttribute(purpose), false))
    return CKR_KEY_FUNCTION_NOT_PERMITTED;
  op->key = key;
  op->slot = object->slot;
  if (const CK_RV rv = takeKey(module, purpose, *op); rv != CKR_OK) return rv;
  if (op->mechanism.hashesData != nullptr) {
    op->digest = std::make_unique<Digest>(*op->mechanism.hashesData);
    if (!op->digest->ok()) return CKR_FUNCTION_FAILED;
  }
  out = std::move(op);
  return CKR_OK;
}

CK_RV addPart(KeyOperation& op, ByteView part) {
  if (op.digest) return op.digest->update(part) ? CKR_OK : CKR_FUNCTION_FAILED;
  // Unhashed messages are at most one block long.
  if (op.collected.size() + part.size() > common::kModulusBytes) return CKR_DATA_LEN_RANGE;
  op.collected.append(part);
  return CKR_OK;
}

CK_RV updateWith(std::unique_ptr<KeyOperation>& op, CK_BYTE_PTR data, CK_ULONG dataLen) {
  if (!op) return CKR_OPERATION_NOT_INITIALIZED;
  const CK_RV rv =
      badInput(data, dataLen) ? CKR_ARGUMENTS_BAD : addPart(*op, inputOf(data, dataLen));
  if (rv != CKR_OK) {
    op.reset();
    return rv;
  }
  op->inParts = true;
  return CKR_OK;
}

CK_RV finishMessage(KeyOperation& op, common::SecretBytes& message) {
  message = common::SecretBytes();
  if (!op.digest) {
    message.append(op.collected.span());
    return CKR_OK;
  }
  Bytes digest;
  if (!op.digest->finish(digest)) return CKR_FUNCTION_FAILED;
  message.append(digest);
  return CKR_OK;
}

CK_RV signatureBlock(const KeyOperation& op, ByteView message, Block& block) {
  const PaddingSpec& scheme = op.mechanism.padding;
  switch (scheme.padding) {
    case Padding::Pkcs1: {
      const Bytes info = scheme.hash != nullptr ? common::digestInfo(scheme.hash->hash, message)
                                                : Bytes(message.begin(), message.end());
      const auto padded = common::signatureBlock(info);
      if (!padded) return CKR_DATA_LEN_RANGE;
      block = *padded;
      return CKR_OK;
    }
    case Padding::Raw:
      if (message.size() > block.size()) return CKR_DATA_LEN_RANGE;
      block.fill(0);
      std::copy(message.begin(), message.end(),
                block.end() - static_cast<std::ptrdiff_t>(message.size()));
      // The token computes only below the modulus.
      return belowModulus(block, op.modulus) ? CKR_OK : CKR_DATA_INVALID;
    case Padding::Pss: {
      if (message.size() != scheme.hash->size()) return CKR_DATA_LEN_RANGE;
      Bytes salt(scheme.saltLength);
      if (!salt.empty() && RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1)
        return CKR_FUNCTION_FAILED;
      return pssBlock(*scheme.hash, *scheme.mgf, message, salt, block) ? CKR_OK
                                                                       : CKR_FUNCTION_FAILED;
    }
    case Padding::Oaep: break;
  }
  return CKR_MECHANISM_INVALID;
}

CK_RV privateOperation(Module& module, int slot, const Block& in, std::span<std::uint8_t> out) {
  TokenLock lock(module.tokenMutex());
  const CK_RV rv = module.login.asUser(lock, CKR_FUNCTION_FAILED,
                                       [&] { return rawPrivateOperation(lock, slot, in, out); });
  if (rv == CKR_USER_NOT_LOGGED_IN) module.objects.forgetPrivate();
  return rv;
}

CK_RV outputRoom(CK_BYTE_PTR out, CK_ULONG_PTR outLen, std::size_t needed, bool& ready) {
  ready = false;
  if (out == nullptr) {
    *outLen = static_cast<CK_ULONG>(needed);
    return CKR_OK;
  }
  if (*outLen < needed) {
    *outLen = static_cast<CK_ULONG>(needed);
    return CKR_BUFFER_TOO_SMALL;
  }
  ready = true;
  return CKR_OK;
}

ByteView inputOf(CK_BYTE_PTR data, CK_ULONG length) {
  return data == nullptr ? ByteView{} : ByteView(data, length);
}

}  // namespace p11

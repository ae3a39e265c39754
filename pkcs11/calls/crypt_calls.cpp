// RSA encryption in software with the public key; decryption by the
// token's private-key operation, its padding removed here. The messages
// are one block: update calls gather the parts, final calls do the work.
#include <algorithm>

#include "calls/calls.h"
#include "common/rsa1024.h"
#include "common/secret_bytes.h"
#include "module/key_operations.h"

namespace p11::calls {
namespace {

std::size_t plaintextRoom(const KeyOperation& op) {
  const PaddingSpec& scheme = op.mechanism.padding;
  switch (scheme.padding) {
    case Padding::Raw: return common::kModulusBytes;
    case Padding::Oaep: return common::kModulusBytes - 2 * scheme.hash->size() - 2;
    default: return common::kMaxEncryptedMessage;
  }
}

CK_RV encryptCollected(Session& session, ByteView lastPart, CK_BYTE_PTR out, CK_ULONG_PTR outLen) {
  std::unique_ptr<KeyOperation>& op = session.encrypt;
  bool ready = false;
  if (const CK_RV rv = outputStep(op, out, outLen, common::kModulusBytes, ready); !ready) return rv;
  common::SecretBytes message;
  Bytes cipher;
  CK_RV rv = addPart(*op, lastPart);
  if (rv == CKR_OK) rv = finishMessage(*op, message);
  if (rv == CKR_OK)
    rv = encryptWith(op->publicKey.get(), op->mechanism.padding, message.span(), cipher);
  if (rv == CKR_OK) {
    std::copy(cipher.begin(), cipher.end(), out);
    *outLen = static_cast<CK_ULONG>(cipher.size());
  }
  op.reset();
  return rv;
}

// The message inside a decrypted block: its length in `plain`, or -1.
int unpadded(const PaddingSpec& scheme, const common::SecretBytes& raw,
             common::SecretBytes& plain) {
  const common::RsaBlockView block(raw.data(), common::kModulusBytes);
  switch (scheme.padding) {
    case Padding::Raw:
      std::copy(block.begin(), block.end(), plain.data());
      return static_cast<int>(block.size());
    case Padding::Oaep:
      return removeOaepPadding(block, *scheme.hash, *scheme.mgf, scheme.label, plain.span());
    default: return common::removeEncryptionPadding(block, plain.span());
  }
}

// The plaintext of one ciphertext block into `plain`; its length in `n`.
CK_RV decryptBlock(Module& module, const KeyOperation& op, ByteView cipher,
                   common::SecretBytes& plain, int& n) {
  if (cipher.size() != common::kModulusBytes) return CKR_ENCRYPTED_DATA_LEN_RANGE;
  Block in{};
  std::copy(cipher.begin(), cipher.end(), in.begin());
  if (!belowModulus(in, op.modulus)) return CKR_ENCRYPTED_DATA_INVALID;
  common::SecretBytes raw(common::kModulusBytes);
  const CK_RV rv = privateOperation(module, op.slot, in, raw.span());
  if (rv != CKR_OK) return rv;
  n = unpadded(op.mechanism.padding, raw, plain);
  return n < 0 ? CKR_ENCRYPTED_DATA_INVALID : CKR_OK;
}

CK_RV decryptCollected(Module& module, Session& session, ByteView lastPart, CK_BYTE_PTR out,
                       CK_ULONG_PTR outLen) {
  std::unique_ptr<KeyOperation>& op = session.decrypt;
  if (!op) return CKR_OPERATION_NOT_INITIALIZED;
  if (outLen == nullptr) {
    op.reset();
    return CKR_ARGUMENTS_BAD;
  }
  // The size asked for is the largest plaintext; a buffer is measured
  // against the plaintext itself.
  if (out == nullptr) {
    *outLen = static_cast<CK_ULONG>(plaintextRoom(*op));
    return CKR_OK;
  }
  const CK_ULONG room = *outLen;
  if (!module.login.user()) {
    op.reset();
    return CKR_USER_NOT_LOGGED_IN;
  }
  Bytes cipher(op->collected.span().begin(), op->collected.span().end());
  cipher.insert(cipher.end(), lastPart.begin(), lastPart.end());
  common::SecretBytes plain(common::kModulusBytes);
  int n = 0;
  CK_RV rv = decryptBlock(module, *op, cipher, plain, n);
  if (rv == CKR_OK && room < static_cast<CK_ULONG>(n)) {
    // Too small for this plaintext: the caller may ask again.
    *outLen = static_cast<CK_ULONG>(n);
    return CKR_BUFFER_TOO_SMALL;
  }
  if (rv == CKR_OK) {
    std::copy_n(plain.data(), n, out);
    *outLen = static_cast<CK_ULONG>(n);
  }
  op.reset();
  return rv;
}

CK_RV gather(std::unique_ptr<KeyOperation>& op, CK_BYTE_PTR data, CK_ULONG dataLen,
             CK_ULONG_PTR outLen) {
  if (op && outLen == nullptr) {
    op.reset();
    return CKR_ARGUMENTS_BAD;
  }
  const CK_RV rv = updateWith(op, data, dataLen);
  if (rv == CKR_OK) *outLen = 0;
  return rv;
}

}  // namespace

CK_RV EncryptInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (session.encrypt) return CKR_OPERATION_ACTIVE;
    return startKeyOperation(module, Purpose::Encrypt, mechanism, key, session.encrypt);
  });
}

CK_RV Encrypt(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR out,
              CK_ULONG_PTR outLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    if (endsPartsEarly(session.encrypt)) return CKR_OPERATION_ACTIVE;
    if (session.encrypt && badInput(data, dataLen)) {
      session.encrypt.reset();
      return CKR_ARGUMENTS_BAD;
    }
    return encryptCollected(session, inputOf(data, dataLen), out, outLen);
  });
}

CK_RV EncryptUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR,
                    CK_ULONG_PTR outLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    return gather(session.encrypt, data, dataLen, outLen);
  });
}

CK_RV EncryptFinal(CK_SESSION_HANDLE h, CK_BYTE_PTR out, CK_ULONG_PTR outLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    return encryptCollected(session, {}, out, outLen);
  });
}

CK_RV DecryptInit(CK_SESSION_HANDLE h, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (session.decrypt) return CKR_OPERATION_ACTIVE;
    return startKeyOperation(module, Purpose::Decrypt, mechanism, key, session.decrypt);
  });
}

CK_RV Decrypt(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR out,
              CK_ULONG_PTR outLen) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    if (endsPartsEarly(session.decrypt)) return CKR_OPERATION_ACTIVE;
    if (session.decrypt && badInput(data, dataLen)) {
      session.decrypt.reset();
      return CKR_ARGUMENTS_BAD;
    }
    return decryptCollected(module, session, inputOf(data, dataLen), out, outLen);
  });
}

CK_RV DecryptUpdate(CK_SESSION_HANDLE h, CK_BYTE_PTR data, CK_ULONG dataLen, CK_BYTE_PTR,
                    CK_ULONG_PTR outLen) {
  return withSession(h, [&](Module&, Session& session) -> CK_RV {
    return gather(session.decrypt, data, dataLen, outLen);
  });
}

CK_RV DecryptFinal(CK_SESSION_HANDLE h, CK_BYTE_PTR out, CK_ULONG_PTR outLen) {
  return withSession(h, [&](Module& module, Session& session) -> CK_RV {
    return decryptCollected(module, session, {}, out, outLen);
  });
}

}  // namespace p11::calls

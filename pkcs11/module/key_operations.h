// What sign, verify, encrypt and decrypt share: starting an operation with
// a key, the private-key operation on the token, and the output buffer
// rules of the standard (a null buffer asks for the size; a short one gets
// CKR_BUFFER_TOO_SMALL and the operation goes on).
#pragma once

#include "crypto/rsa_padding.h"
#include "module/module.h"

namespace p11 {

CK_RV startKeyOperation(Module& module, Purpose purpose, const CK_MECHANISM* mechanism,
                        CK_OBJECT_HANDLE key, std::unique_ptr<KeyOperation>& out);

// Adds a part to the operation's message.
CK_RV addPart(KeyOperation& op, ByteView part);
// An update call: adds the part and makes the operation multi-part; any
// failure ends the operation.
CK_RV updateWith(std::unique_ptr<KeyOperation>& op, CK_BYTE_PTR data, CK_ULONG dataLen);
// True when a single-part call would end an operation that updates began:
// the standard leaves that to the final call alone.
inline bool endsPartsEarly(const std::unique_ptr<KeyOperation>& op) { return op && op->inParts; }
// The whole message: the digest of the parts, or the parts themselves.
CK_RV finishMessage(KeyOperation& op, common::SecretBytes& message);

// The block the private key turns into the signature.
CK_RV signatureBlock(const KeyOperation& op, ByteView message, Block& block);

// The raw private-key operation on the token, logging the token in again
// when it lost the application's login.
// out is one block long.
CK_RV privateOperation(Module& module, int slot, const Block& in, std::span<std::uint8_t> out);

// CKR_OK with `ready` false when the caller only asked for the size or
// gave too small a buffer (then CKR_BUFFER_TOO_SMALL); the operation
// stays active in both cases.
CK_RV outputRoom(CK_BYTE_PTR out, CK_ULONG_PTR outLen, std::size_t needed, bool& ready);

// The first steps of a call that ends an operation with output: the
// operation must be running and the length pointer given. `ready` as for
// outputRoom.
template <typename Operation>
CK_RV outputStep(std::unique_ptr<Operation>& op, CK_BYTE_PTR out, CK_ULONG_PTR outLen,
                 std::size_t needed, bool& ready) {
  ready = false;
  if (!op) return CKR_OPERATION_NOT_INITIALIZED;
  if (outLen == nullptr) {
    op.reset();
    return CKR_ARGUMENTS_BAD;
  }
  return outputRoom(out, outLen, needed, ready);
}

// A caller's input buffer; a null pointer with a length is refused.
ByteView inputOf(CK_BYTE_PTR data, CK_ULONG length);
inline bool badInput(CK_BYTE_PTR data, CK_ULONG length) { return data == nullptr && length != 0; }

}  // namespace p11

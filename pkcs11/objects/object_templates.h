// What C_CreateObject and C_GenerateKeyPair templates ask for, checked
// before anything reaches the token.
#pragma once

#include "objects/template.h"
#include "records/attribute_values.h"
#include "records/directory.h"
#include "token/token_keys.h"

namespace p11 {

// Labels and ids of key pairs live in the directory, so they are kept short.
inline constexpr std::size_t kMaxKeyLabel = 64;
inline constexpr std::size_t kMaxKeyId = 64;

// A certificate or data object to create.
struct NewObject {
  bool onToken = false;
  bool isPrivate = false;
  Attributes attributes;
};

// CKO_DATA and CKO_CERTIFICATE (X.509: subject, issuer and serial number
// come from the certificate when the template does not give them).
CK_RV newObjectFrom(const Template& tmpl, CK_OBJECT_CLASS objectClass, NewObject& out);

// What the directory will say of a new key pair; the id is the modulus's
// SHA-1 unless the template gave one.
struct KeyPairRequest {
  KeyHalf publicHalf;
  KeyHalf privateHalf;
  bool publicIdGiven = false;
  bool privateIdGiven = false;
};

CK_RV keyPairRequestFrom(const Template& publicTemplate, const Template& privateTemplate,
                         KeyPairRequest& out);
// An RSA private key in CRT form for import (CKO_PRIVATE_KEY, CKK_RSA).
CK_RV importRequestFrom(const Template& tmpl, KeyPairRequest& out, CrtKey& key);

KeyEntry keyEntryFor(const KeyPairRequest& request, int slot, const Modulus& modulus,
                     bool generated);

// C_SetAttributeValue: only CKA_LABEL and CKA_ID change.
CK_RV labelAndIdFrom(const Template& tmpl, const Attributes& current, bool isKey,
                     std::optional<Bytes>& label, std::optional<Bytes>& id);

}  // namespace p11

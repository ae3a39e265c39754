// The mechanisms the module offers and what each asks of a key operation.
// Private-key operations run on the token (CKF_HW); public-key operations
// and digests run in software (libcrypto).
#pragma once

#include "crypto/public_key_ops.h"

namespace p11 {

struct MechanismEntry {
  CK_MECHANISM_TYPE type;
  CK_MECHANISM_INFO info;
};

std::span<const MechanismEntry> mechanismTable();
const MechanismEntry* findMechanism(CK_MECHANISM_TYPE type);

enum class Purpose { Sign, Verify, Encrypt, Decrypt };

// A key operation as a mechanism and its parameters describe it.
struct KeyMechanism {
  CK_MECHANISM_TYPE type = 0;
  PaddingSpec padding;
  const HashInfo* hashesData = nullptr;  // the module digests the data first
};

// CKR_MECHANISM_INVALID for a mechanism not offered for this purpose,
// CKR_MECHANISM_PARAM_INVALID for parameters it does not take.
CK_RV parseKeyMechanism(const CK_MECHANISM* mechanism, Purpose purpose, KeyMechanism& out);

}  // namespace p11

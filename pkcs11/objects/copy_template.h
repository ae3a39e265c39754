// What a C_CopyObject template may change in the copy of a certificate or
// data object: where it lives (CKA_TOKEN, CKA_PRIVATE), what C_SetAttributeValue
// could change (CKA_LABEL, CKA_ID, unless the object is read-only), and
// CKA_MODIFIABLE, CKA_COPYABLE and CKA_DESTROYABLE from true to false only.
// Any other attribute may be named with the value it has.
#pragma once

#include "objects/object_templates.h"

namespace p11 {

// The copy, or CKR_ATTRIBUTE_READ_ONLY, CKR_ATTRIBUTE_TYPE_INVALID,
// CKR_ATTRIBUTE_VALUE_INVALID or a template error.
CK_RV copyFrom(const Template& tmpl, const Attributes& source, NewObject& out);

}  // namespace p11

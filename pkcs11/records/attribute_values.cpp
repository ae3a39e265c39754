#include "records/attribute_values.h"

#include <algorithm>
#include <cstring>

namespace p11 {

Bytes boolBytes(bool value) { return {static_cast<std::uint8_t>(value ? CK_TRUE : CK_FALSE)}; }

Bytes ulongBytes(CK_ULONG value) {
  Bytes b(sizeof value);
  std::memcpy(b.data(), &value, sizeof value);
  return b;
}

const Bytes* Attributes::find(CK_ATTRIBUTE_TYPE type) const {
  const auto it = values_.find(type);
  return it == values_.end() ? nullptr : &it->second;
}

bool Attributes::boolOr(CK_ATTRIBUTE_TYPE type, bool fallback) const {
  const Bytes* v = find(type);
  return v != nullptr && v->size() == 1 ? (*v)[0] != CK_FALSE : fallback;
}

std::optional<CK_ULONG> Attributes::ulong(CK_ATTRIBUTE_TYPE type) const {
  const Bytes* v = find(type);
  if (v == nullptr || v->size() != sizeof(CK_ULONG)) return std::nullopt;
  CK_ULONG value = 0;
  std::memcpy(&value, v->data(), sizeof value);
  return value;
}

bool Attributes::matches(std::span<const CK_ATTRIBUTE> tmpl) const {
  return std::all_of(tmpl.begin(), tmpl.end(), [&](const CK_ATTRIBUTE& a) {
    const Bytes* v = find(a.type);
    if (v == nullptr || v->size() != a.ulValueLen) return false;
    return v->empty() || (a.pValue != nullptr && std::memcmp(v->data(), a.pValue, v->size()) == 0);
  });
}

CK_RV Attributes::copyOut(std::span<CK_ATTRIBUTE> tmpl,
                          std::span<const CK_ATTRIBUTE_TYPE> sensitive) const {
  CK_RV rv = CKR_OK;
  for (CK_ATTRIBUTE& a : tmpl) {
    const Bytes* v = find(a.type);
    const bool secret = std::find(sensitive.begin(), sensitive.end(), a.type) != sensitive.end();
    if (secret || v == nullptr) {
      a.ulValueLen = CK_UNAVAILABLE_INFORMATION;
      rv = secret ? CKR_ATTRIBUTE_SENSITIVE : CKR_ATTRIBUTE_TYPE_INVALID;
    } else if (a.pValue == nullptr) {
      a.ulValueLen = static_cast<CK_ULONG>(v->size());
    } else if (a.ulValueLen < v->size()) {
      a.ulValueLen = CK_UNAVAILABLE_INFORMATION;
      rv = CKR_BUFFER_TOO_SMALL;
    } else {
      if (!v->empty()) std::memcpy(a.pValue, v->data(), v->size());
      a.ulValueLen = static_cast<CK_ULONG>(v->size());
    }
  }
  return rv;
}

}  // namespace p11

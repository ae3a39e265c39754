#include "objects/template.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "records/storage_limits.h"

namespace p11 {

CK_RV Template::checkValues() const {
  if (attributes_.data() == nullptr && !attributes_.empty()) return CKR_ARGUMENTS_BAD;
  if (attributes_.size() > kMaxTemplateEntries) return CKR_ARGUMENTS_BAD;
  constexpr auto kLongest = static_cast<CK_ULONG>(kMaxObjectBytes);
  CK_ULONG total = 0;
  for (const CK_ATTRIBUTE& a : attributes_) {
    if (a.pValue == nullptr && a.ulValueLen != 0) return CKR_ATTRIBUTE_VALUE_INVALID;
    if (a.ulValueLen > kLongest) return CKR_ATTRIBUTE_VALUE_INVALID;
    total += a.ulValueLen;  // at most 64 values of at most 8 KiB each
    if (total > kLongest) return CKR_ATTRIBUTE_VALUE_INVALID;
  }
  return CKR_OK;
}

CK_RV Template::check() const {
  if (const CK_RV rv = checkValues(); rv != CKR_OK) return rv;
  std::set<CK_ATTRIBUTE_TYPE> seen;
  for (const CK_ATTRIBUTE& a : attributes_)
    if (!seen.insert(a.type).second) return CKR_TEMPLATE_INCONSISTENT;
  return CKR_OK;
}

const CK_ATTRIBUTE* Template::find(CK_ATTRIBUTE_TYPE type) const {
  const auto it = std::find_if(attributes_.begin(), attributes_.end(),
                               [&](const CK_ATTRIBUTE& a) { return a.type == type; });
  return it == attributes_.end() ? nullptr : &*it;
}

std::optional<Bytes> Template::bytes(CK_ATTRIBUTE_TYPE type) const {
  const CK_ATTRIBUTE* a = find(type);
  if (a == nullptr) return std::nullopt;
  return bytesOf(a->pValue, a->ulValueLen);
}

CK_RV Template::boolean(CK_ATTRIBUTE_TYPE type, std::optional<bool>& out) const {
  out.reset();
  const CK_ATTRIBUTE* a = find(type);
  if (a == nullptr) return CKR_OK;
  if (a->ulValueLen != sizeof(CK_BBOOL)) return CKR_ATTRIBUTE_VALUE_INVALID;
  out = *static_cast<const CK_BBOOL*>(a->pValue) != CK_FALSE;
  return CKR_OK;
}

CK_RV Template::ulong(CK_ATTRIBUTE_TYPE type, std::optional<CK_ULONG>& out) const {
  out.reset();
  const CK_ATTRIBUTE* a = find(type);
  if (a == nullptr) return CKR_OK;
  if (a->ulValueLen != sizeof(CK_ULONG)) return CKR_ATTRIBUTE_VALUE_INVALID;
  CK_ULONG value = 0;
  std::memcpy(&value, a->pValue, sizeof value);
  out = value;
  return CKR_OK;
}

}  // namespace p11

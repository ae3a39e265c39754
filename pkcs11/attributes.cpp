#include "attributes.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "reserved_files.h"

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
      a.ulValueLen = v->size();
    } else if (a.ulValueLen < v->size()) {
      a.ulValueLen = CK_UNAVAILABLE_INFORMATION;
      rv = CKR_BUFFER_TOO_SMALL;
    } else {
      if (!v->empty()) std::memcpy(a.pValue, v->data(), v->size());
      a.ulValueLen = v->size();
    }
  }
  return rv;
}

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

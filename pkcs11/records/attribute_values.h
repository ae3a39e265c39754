// An object's attributes as the standard lays them out (CK_BBOOL one byte,
// CK_ULONG in the host's order).
#pragma once

#include <map>
#include <optional>

#include "ck/ck.h"

namespace p11 {

Bytes boolBytes(bool value);
Bytes ulongBytes(CK_ULONG value);

class Attributes {
 public:
  void set(CK_ATTRIBUTE_TYPE type, Bytes value) { values_[type] = std::move(value); }
  void setBool(CK_ATTRIBUTE_TYPE type, bool value) { set(type, boolBytes(value)); }
  void setUlong(CK_ATTRIBUTE_TYPE type, CK_ULONG value) { set(type, ulongBytes(value)); }
  const Bytes* find(CK_ATTRIBUTE_TYPE type) const;
  bool boolOr(CK_ATTRIBUTE_TYPE type, bool fallback) const;
  std::optional<CK_ULONG> ulong(CK_ATTRIBUTE_TYPE type) const;
  const std::map<CK_ATTRIBUTE_TYPE, Bytes>& all() const { return values_; }

  // True when every attribute of the template is present with that value.
  bool matches(std::span<const CK_ATTRIBUTE> tmpl) const;

  // C_GetAttributeValue over this object: sizes, values, and for each
  // attribute it cannot give CK_UNAVAILABLE_INFORMATION with the error
  // (sensitive, not an attribute of the object, buffer too small).
  CK_RV copyOut(std::span<CK_ATTRIBUTE> tmpl, std::span<const CK_ATTRIBUTE_TYPE> sensitive) const;

 private:
  std::map<CK_ATTRIBUTE_TYPE, Bytes> values_;
};

}  // namespace p11

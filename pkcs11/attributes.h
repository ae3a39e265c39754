// An object's attributes as the standard lays them out (CK_BBOOL one byte,
// CK_ULONG in the host's order), and the templates callers pass in.
#pragma once

#include <map>
#include <optional>

#include "ck.h"

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

// No object has this many attributes (a private key, the largest, has 38
// counting the values it keeps secret), so a longer template is a
// caller's mistaken count.
inline constexpr CK_ULONG kMaxTemplateEntries = 64;

// A caller's template, read with the checks the standard asks for. Nothing
// reads an entry or a value before check() or checkValues() passed.
class Template {
 public:
  Template(CK_ATTRIBUTE_PTR attributes, CK_ULONG count) : attributes_(attributes, count) {}

  // CKR_ARGUMENTS_BAD for a null template with entries or more entries than
  // any object has (the entries are then never read);
  // CKR_ATTRIBUTE_VALUE_INVALID for a null value with a length, or a value
  // longer than any object may be (the value is then never read).
  CK_RV checkValues() const;
  // checkValues(), and CKR_TEMPLATE_INCONSISTENT for a type given twice.
  CK_RV check() const;
  const CK_ATTRIBUTE* find(CK_ATTRIBUTE_TYPE type) const;
  std::optional<Bytes> bytes(CK_ATTRIBUTE_TYPE type) const;
  // Absent: no value and CKR_OK; present with the wrong length:
  // CKR_ATTRIBUTE_VALUE_INVALID.
  CK_RV boolean(CK_ATTRIBUTE_TYPE type, std::optional<bool>& out) const;
  CK_RV ulong(CK_ATTRIBUTE_TYPE type, std::optional<CK_ULONG>& out) const;
  std::span<const CK_ATTRIBUTE> all() const { return attributes_; }

 private:
  std::span<const CK_ATTRIBUTE> attributes_;
};

}  // namespace p11

// A caller's template, read with the checks the standard asks for.
#pragma once

#include <optional>

#include "ck/ck.h"

namespace p11 {

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

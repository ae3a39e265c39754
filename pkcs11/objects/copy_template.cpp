#include "objects/copy_template.h"

#include <algorithm>
#include <array>

namespace p11 {
namespace {

constexpr std::array<CK_ATTRIBUTE_TYPE, 2> kPlacement = {CKA_TOKEN, CKA_PRIVATE};
constexpr std::array<CK_ATTRIBUTE_TYPE, 3> kOnlyToFalse = {CKA_MODIFIABLE, CKA_COPYABLE,
                                                           CKA_DESTROYABLE};
constexpr std::array<CK_ATTRIBUTE_TYPE, 2> kEditable = {CKA_LABEL, CKA_ID};

template <std::size_t N>
bool among(CK_ATTRIBUTE_TYPE type, const std::array<CK_ATTRIBUTE_TYPE, N>& set) {
  return std::find(set.begin(), set.end(), type) != set.end();
}

CK_RV copyAttribute(const CK_ATTRIBUTE& a, const Attributes& source, Attributes& copy) {
  const Bytes* current = source.find(a.type);
  if (current == nullptr) return CKR_ATTRIBUTE_TYPE_INVALID;
  const Bytes wanted = bytesOf(a.pValue, a.ulValueLen);
  if (wanted == *current) return CKR_OK;
  const bool isBool = among(a.type, kPlacement) || among(a.type, kOnlyToFalse);
  if (isBool && wanted.size() != sizeof(CK_BBOOL)) return CKR_ATTRIBUTE_VALUE_INVALID;
  const bool toFalse = isBool && wanted[0] == CK_FALSE;
  const bool allowed = among(a.type, kPlacement) || (among(a.type, kOnlyToFalse) && toFalse) ||
                       (among(a.type, kEditable) && source.boolOr(CKA_MODIFIABLE, true));
  if (!allowed) return CKR_ATTRIBUTE_READ_ONLY;
  if (isBool)
    copy.setBool(a.type, !toFalse);
  else
    copy.set(a.type, wanted);
  return CKR_OK;
}

}  // namespace

CK_RV copyFrom(const Template& tmpl, const Attributes& source, NewObject& out) {
  if (const CK_RV rv = tmpl.check(); rv != CKR_OK) return rv;
  out = NewObject{};
  out.attributes = source;
  for (const CK_ATTRIBUTE& a : tmpl.all())
    if (const CK_RV rv = copyAttribute(a, source, out.attributes); rv != CKR_OK) return rv;
  out.onToken = out.attributes.boolOr(CKA_TOKEN, false);
  out.isPrivate = out.attributes.boolOr(CKA_PRIVATE, false);
  return CKR_OK;
}

}  // namespace p11

// A certificate or data object as its object file holds it:
//
//   "TKPO", format version (1), object number (4), attribute count (1),
//   then per attribute: type (4), length (2), value
//
// (big-endian). CK_ULONG values are stored as 4 bytes and CK_BBOOL as one,
// so a file reads the same in any build of the module.
#pragma once

#include <optional>

#include "records/attribute_values.h"

namespace p11 {

// Empty when an attribute cannot be stored (a CK_ULONG above 32 bits).
std::optional<Bytes> encodeObject(std::uint32_t number, const Attributes& attributes);
// The attributes, when the bytes hold object `number`.
std::optional<Attributes> decodeObject(std::uint32_t number, ByteView file);

}  // namespace p11

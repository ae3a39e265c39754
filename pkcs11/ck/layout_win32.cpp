// The standard's conventions on Windows, which every application built
// with its header follows: CK_ULONG of 32 bits (on 64-bit Windows too) and
// structures packed to 1 byte. A header that fell short of them would give
// a module that no application could call.
#include <cstddef>

#include "ck/ck_v3.h"

namespace p11 {

static_assert(sizeof(CK_ULONG) == 4, "CK_ULONG is 32 bits on Windows");
static_assert(sizeof(CK_ATTRIBUTE) == 2 * sizeof(CK_ULONG) + sizeof(void*), "packed");
static_assert(sizeof(CK_MECHANISM) == 2 * sizeof(CK_ULONG) + sizeof(void*), "packed");
// A CK_VERSION (2 bytes) before a CK_UTF8CHAR[32], then the flags: packed,
// they start at 34, not 36.
static_assert(offsetof(CK_INFO, flags) == 34, "packed");
static_assert(offsetof(CK_TOKEN_INFO, flags) == 96 && sizeof(CK_TOKEN_INFO) == 160, "packed");
static_assert(offsetof(CK_FUNCTION_LIST, C_Initialize) == sizeof(CK_VERSION), "packed");
static_assert(offsetof(CK_FUNCTION_LIST_3_0, C_Initialize) == sizeof(CK_VERSION), "packed");
static_assert(sizeof(CK_INTERFACE) == 2 * sizeof(void*) + sizeof(CK_ULONG), "packed");

}  // namespace p11

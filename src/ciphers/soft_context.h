// What every software cipher context starts with, so that one release
// routine can recognise, wipe and free a context of any family.
#pragma once

#include <openssl/crypto.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace dal::ciphers {

enum class SoftKind : std::uint32_t {
  Des = 0x44455343,  // "DESC"
  Rc2 = 0x52433243,  // "RC2C"
  Rc4 = 0x52433443,  // "RC4C"
};

struct SoftHeader {
  SoftKind kind;
  std::uint32_t size;  // bytes of the whole context, wiped at release
};

// Allocates a zero-filled context of type Ctx (whose first member is a
// SoftHeader) and stamps its header. nullptr when memory runs out.
template <typename Ctx>
Ctx* newSoftContext(SoftKind kind) {
  static_assert(std::is_trivially_copyable_v<Ctx> && std::is_standard_layout_v<Ctx>);
  static_assert(offsetof(Ctx, header) == 0);
  auto* ctx = static_cast<Ctx*>(OPENSSL_zalloc(sizeof(Ctx)));
  if (ctx == nullptr) return nullptr;
  ctx->header = SoftHeader{kind, static_cast<std::uint32_t>(sizeof(Ctx))};
  return ctx;
}

}  // namespace dal::ciphers

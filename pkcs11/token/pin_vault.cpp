#include "token/pin_vault.h"

#include <openssl/crypto.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <new>

#include "common/token_shape.h"

namespace p11 {
namespace {

std::size_t pageSize() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

std::size_t slot(Role who) { return who == Role::User ? 0 : 1; }

}  // namespace

PinVault::PinVault() {
  void* memory =
      ::mmap(nullptr, pageSize(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  // Each protection is best effort: a process whose lock limit is used up
  // still gets a vault, wiped all the same.
  ::mlock(memory, pageSize());
  ::madvise(memory, pageSize(), MADV_DONTDUMP);
  ::madvise(memory, pageSize(), MADV_WIPEONFORK);
  page_ = static_cast<Page*>(memory);
}

PinVault::~PinVault() {
  OPENSSL_cleanse(page_, sizeof(Page));
  ::munlock(page_, pageSize());
  ::munmap(page_, pageSize());
}

void PinVault::keep(Role who, ByteView pin) {
  drop(who);
  const std::size_t n = std::min(pin.size(), common::kMaxPinLength);
  std::copy_n(pin.begin(), n, page_->pin[slot(who)]);
  page_->length[slot(who)] = static_cast<std::uint8_t>(n);
}

void PinVault::drop(Role who) {
  OPENSSL_cleanse(page_->pin[slot(who)], common::kMaxPinLength);
  page_->length[slot(who)] = 0;
}

bool PinVault::holds(Role who) const { return page_->length[slot(who)] != 0; }

ByteView PinVault::pin(Role who) const { return {page_->pin[slot(who)], page_->length[slot(who)]}; }

}  // namespace p11

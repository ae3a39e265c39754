#include <sys/mman.h>
#include <unistd.h>

#include <new>

#include "token/secret_page.h"

namespace p11 {
namespace {

std::size_t pageSize() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

}  // namespace

void* allocateSecretPage(std::size_t size) {
  if (size > pageSize()) throw std::bad_alloc();
  void* memory =
      ::mmap(nullptr, pageSize(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  ::mlock(memory, pageSize());
  ::madvise(memory, pageSize(), MADV_DONTDUMP);
  ::madvise(memory, pageSize(), MADV_WIPEONFORK);
  return memory;
}

void freeSecretPage(void* page) {
  ::munlock(page, pageSize());
  ::munmap(page, pageSize());
}

}  // namespace p11

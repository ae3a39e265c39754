#include <windows.h>

#include <new>

#include "token/secret_page.h"

// Windows has no fork, and no way for a process to leave a page out of
// the dumps that debuggers and error reporting take of it: locking against
// the paging file is what it offers.
namespace p11 {
namespace {

std::size_t pageSize() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

}  // namespace

void* allocateSecretPage(std::size_t size) {
  if (size > pageSize()) throw std::bad_alloc();
  void* memory = VirtualAlloc(nullptr, pageSize(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (memory == nullptr) throw std::bad_alloc();
  VirtualLock(memory, pageSize());
  return memory;
}

void freeSecretPage(void* page) {
  VirtualUnlock(page, pageSize());
  VirtualFree(page, 0, MEM_RELEASE);
}

}  // namespace p11

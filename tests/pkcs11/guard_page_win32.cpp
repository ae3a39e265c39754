#include <windows.h>

#include "guard_page.h"

namespace p11test {
namespace {

std::size_t pageSize() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

}  // namespace

GuardPage::GuardPage()
    : size_(pageSize()),
      page_(VirtualAlloc(nullptr, size_, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS)) {}

GuardPage::~GuardPage() { VirtualFree(page_, 0, MEM_RELEASE); }

}  // namespace p11test

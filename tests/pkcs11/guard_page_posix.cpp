#include <sys/mman.h>
#include <unistd.h>

#include "guard_page.h"

namespace p11test {

GuardPage::GuardPage()
    : size_(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE))),
      page_(::mmap(nullptr, size_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) {}

GuardPage::~GuardPage() { ::munmap(page_, size_); }

}  // namespace p11test

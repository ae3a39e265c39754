// A page that any read faults on: a value or template placed there proves
// that the module refused it without reading. One file per platform.
#pragma once

#include <cstddef>

#include "ck/ck.h"

namespace p11test {

class GuardPage {
 public:
  GuardPage();
  ~GuardPage();
  GuardPage(const GuardPage&) = delete;
  GuardPage& operator=(const GuardPage&) = delete;
  void* address() const { return page_; }
  CK_ATTRIBUTE_PTR tmpl() const { return static_cast<CK_ATTRIBUTE_PTR>(page_); }

 private:
  std::size_t size_;
  void* page_;
};

}  // namespace p11test

// One page of memory for secrets, kept from the places a copy of it could
// outlive the process: locked against swapping, and where the system
// offers it, left out of core dumps and read as zeros by a forked child.
// Each protection is best effort: a process whose lock limit is used up
// still gets its page, wiped all the same by its owner.
#pragma once

#include <cstddef>

namespace p11 {

// A page of at least `size` bytes (at most one page); throws
// std::bad_alloc when there is none.
void* allocateSecretPage(std::size_t size);
// Frees a page from allocateSecretPage; the caller has wiped it.
void freeSecretPage(void* page);

}  // namespace p11

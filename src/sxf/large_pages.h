// Marking memory for the kernel's large pages: a page fault costs some
// 10 µs on a virtual machine, and a drawing's lists of a hundred megabytes
// would otherwise be faulted in 4 KB at a time.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace dlvr::sxf {

inline constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;

// Marks the whole blocks of 2 MB inside [p, p + bytes) for large pages.
inline void AdviseLargePages(void* p, std::size_t bytes) {
  const auto from = (reinterpret_cast<std::uintptr_t>(p) + kLargePageBytes - 1) & ~(kLargePageBytes - 1);
  const auto to = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(kLargePageBytes - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

}  // namespace dlvr::sxf

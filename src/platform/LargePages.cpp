#include "platform/LargePages.h"

#include <cstdint>
#include <sys/mman.h>

namespace platform {

void AdviseLargePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kLargePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

} // namespace platform

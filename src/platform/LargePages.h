#pragma once

#include <cstddef>

namespace platform {

// Advises the kernel to back the whole 2 MiB blocks within [data, data + bytes) with large
// pages: a buffer of megabytes that is written once then costs a few page faults instead of
// one for every 4 KiB, which matters where faults are dear (virtual machines). Only advice:
// nothing changes where the kernel does not take it. Meant for memory about to be written in
// whole, since a large page holds all of its 2 MiB once one byte of it is written.
void AdviseLargePages(const void* data, std::size_t bytes);

} // namespace platform

#pragma once

#include <QtGlobal>

namespace platform {

// The machine's physical memory in bytes, the full 64-bit figure; 0 when it cannot be read.
quint64 TotalPhysicalMemoryBytes();

} // namespace platform

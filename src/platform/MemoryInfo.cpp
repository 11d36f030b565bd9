#include "platform/MemoryInfo.h"

#include <sys/sysinfo.h>

namespace platform {

quint64 TotalPhysicalMemoryBytes() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return 0;
    return quint64(info.totalram) * quint64(info.mem_unit);
}

} // namespace platform

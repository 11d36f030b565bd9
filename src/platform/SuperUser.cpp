#include "platform/SuperUser.h"

#include <unistd.h>

namespace platform {

bool RunningAsSuperUser() {
    return ::geteuid() == 0;
}

} // namespace platform

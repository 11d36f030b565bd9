#include "platform/UserIdentity.h"

#include <unistd.h>

unsigned currentUserId() {
    return static_cast<unsigned>(getuid());
}

#include "platform/UserIdentity.h"

#include <sys/socket.h>
#include <unistd.h>

unsigned currentUserId() {
    return static_cast<unsigned>(getuid());
}

std::optional<unsigned> localPeerUserId(qintptr socketDescriptor) {
    if (socketDescriptor < 0)
        return std::nullopt;
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials)
        return std::nullopt;
    return static_cast<unsigned>(credentials.uid);
}

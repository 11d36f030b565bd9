#include "platform/NetworkFacts.h"

#include <arpa/inet.h>
#include <climits>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

QStringList LocalHostAddresses() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &found) != 0)
        return {};
    QStringList addresses;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_family != AF_INET || a->ai_addr == nullptr)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr)
            addresses << QString::fromLatin1(text);
    }
    ::freeaddrinfo(found);
    return addresses;
}

} // namespace platform

#pragma once

#include <QStringList>

namespace platform {

// The addresses the local host name resolves to (IPv4, dotted), in the order the resolver
// lists them; empty when the name cannot be had or resolved.
QStringList LocalHostAddresses();

} // namespace platform

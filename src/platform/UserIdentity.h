#pragma once

#include <QtGlobal>
#include <optional>

// The numeric id of the user running the program.
unsigned currentUserId();

// The user id of the process at the other end of a connected local socket, as the kernel
// recorded it when the connection was made; nothing when it cannot be told.
std::optional<unsigned> localPeerUserId(qintptr socketDescriptor);

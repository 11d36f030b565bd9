#pragma once

#include <QString>
#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>

namespace platform {

// Hands the content of `path` to `piece` in pieces of up to 256 KiB, so that a long file is
// never held whole. Only a regular file owned by this user, not reached through a link, and
// at most `maxBytes` long is read; `sized`, when given, learns its size before the first piece.
// Setting `stop` (when given) ends the reading before the next piece. Nothing when it was read
// to its end, else why not.
std::optional<QString>
ReadOwnFileInPieces(const QString& path, std::size_t maxBytes,
                    const std::function<void(const char* data, std::size_t size)>& piece,
                    const std::function<void(std::size_t size)>& sized = {},
                    const std::atomic<bool>* stop = nullptr);

} // namespace platform

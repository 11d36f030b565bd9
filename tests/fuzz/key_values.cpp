// Steam's KeyValues text (registry.vdf, libraryfolders.vdf, app manifests) and what is read
// from it.
#include "game/KeyValues.h"
#include "game/SteamLibraries.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const KvLimits limits;
    const KvParse parsed = ParseKeyValues(bytes, limits);
    if (parsed.error) {
        // A damaged file keeps nothing and names a line within it.
        if (!parsed.tree.entries.empty() || parsed.error->line < 0 ||
            parsed.error->line > bytes.count('\n') + 1)
            __builtin_trap();
        return 0;
    }
    // Every entry lies in a block that comes before it, no deeper than the limit.
    const std::vector<KvEntry>& entries = parsed.tree.entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        int depth = 0;
        for (int p = entries[i].parent; p >= 0; p = entries[static_cast<size_t>(p)].parent) {
            if (p >= static_cast<int>(i) || !entries[static_cast<size_t>(p)].block)
                __builtin_trap();
            ++depth;
        }
        if (depth >= limits.maxDepth)
            __builtin_trap();
    }
    (void)LibraryFoldersIn(parsed.tree);
    if (const std::optional<QString> dir = InstallDirIn(parsed.tree))
        if (dir->isEmpty() || dir->contains(QLatin1Char('/')) || *dir == QLatin1String(".."))
            __builtin_trap();
    return 0;
}

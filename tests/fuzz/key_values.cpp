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
    // Each entry's end closes over exactly what it holds, so a look-up that steps over nested
    // blocks sees the same children as a walk over every entry.
    const int count = static_cast<int>(entries.size());
    for (int i = 0; i < count; ++i) {
        const KvEntry& entry = entries[static_cast<size_t>(i)];
        if (entry.end <= i || entry.end > count || (!entry.block && entry.end != i + 1))
            __builtin_trap();
        for (int j = i + 1; j < entry.end; ++j) {
            int p = entries[static_cast<size_t>(j)].parent;
            while (p > i)
                p = entries[static_cast<size_t>(p)].parent;
            if (p != i)
                __builtin_trap();
        }
    }
    if (count <= 2000) {
        for (int block = -1; block < count; ++block) {
            if (block >= 0 && !entries[static_cast<size_t>(block)].block)
                continue;
            std::vector<int> walked;
            for (int i = block + 1; i < count; ++i)
                if (entries[static_cast<size_t>(i)].parent == block)
                    walked.push_back(i);
            if (parsed.tree.Children(block) != walked)
                __builtin_trap();
        }
    }
    (void)LibraryFoldersIn(parsed.tree);
    if (const std::optional<QString> dir = InstallDirIn(parsed.tree))
        if (dir->isEmpty() || dir->contains(QLatin1Char('/')) || *dir == QLatin1String(".."))
            __builtin_trap();
    return 0;
}

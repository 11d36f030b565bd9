// A registry store file: parsed, taken as a root, written again.
#include "platform/RegFile.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString root = QStringLiteral("HKEY_LOCAL_MACHINE");
    const regfile::RootResult read = regfile::readRoot(bytes, root);
    if (!read.root) {
        // A refusal names its cause.
        if (read.error.isEmpty())
            __builtin_trap();
        return 0;
    }
    // What the store writes reads back, and writing that again gives the same bytes: a store
    // file never turns into one the next reader refuses or reads differently.
    const QByteArray written = regfile::format(root, *read.root);
    const regfile::RootResult again = regfile::readRoot(written, root);
    if (!again.root)
        __builtin_trap();
    if (regfile::format(root, *again.root) != written)
        __builtin_trap();
    return 0;
}

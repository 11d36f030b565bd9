// The command text of a process start, split into program and arguments.
#include "platform/CommandLine.h"

#include <QString>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList args = splitArguments(text);
    // Splitting never makes text: the arguments together are no longer than the input.
    qsizetype total = 0;
    for (const QString& arg : args)
        total += arg.size();
    if (total > text.size())
        __builtin_trap();
    // Every blank-separated prefix is "executable": the shortest one must be taken.
    const CommandParts parts = splitCommand(QString(), text, {QStringLiteral("/bin")},
                                            [](const QString&) { return true; });
    if (parts.resolved && !text.trimmed().isEmpty() && parts.program.isEmpty())
        __builtin_trap();
    return 0;
}

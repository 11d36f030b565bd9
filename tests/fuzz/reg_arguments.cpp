// The reg tool's command line, one argument per line of the input.
#include "reg/RegArguments.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList args = text.split(QLatin1Char('\n'));
    try {
        const regtool::Request r = regtool::parseArguments(args);
        // A request that passes names only keys and values the store can hold.
        if (!regfile::keyPathProblem(r.key.parts).isEmpty())
            __builtin_trap();
        if (r.value && (!regfile::isStorableName(r.value->name) ||
                        r.value->name.size() > regfile::MaxValueNameLength))
            __builtin_trap();
        if (r.operation == regtool::Operation::Import && r.file.isNull())
            __builtin_trap();
    } catch (const regtool::Failure& f) {
        if (f.message.isEmpty())
            __builtin_trap();
    }
    return 0;
}

#include "sysinfo/ComputerInfo.h"

#include "platform/MemoryInfo.h"
#include "platform/OsRelease.h"
#include "sysinfo/ProcessorInfo.h"

#include <QList>

namespace {

// A value as a shell reads it: double quotes with backslash escapes, single quotes literal.
QString unquote(const QString& raw) {
    QString out;
    QChar quote;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (quote.isNull()) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                quote = c;
            } else if (c == QLatin1Char('\\') && i + 1 < raw.size()) {
                out += raw[++i];
            } else if (c == QLatin1Char('#') || c.isSpace()) {
                break; // a comment or trailing text after the value
            } else {
                out += c;
            }
        } else if (c == quote) {
            quote = QChar();
        } else if (quote == QLatin1Char('"') && c == QLatin1Char('\\') && i + 1 < raw.size() &&
                   QStringLiteral("\"\\$`").contains(raw[i + 1])) {
            out += raw[++i];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

QString OsReleasePrettyName(const QByteArray& osRelease) {
    // As the shell that may source the file sees it: a later assignment wins.
    const QString text = QString::fromUtf8(osRelease);
    QString name;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        const QStringView trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("PRETTY_NAME=")))
            name = unquote(trimmed.mid(12).toString());
    }
    return name;
}

ComputerInfoSources ComputerInfoSources::System() {
    ComputerInfoSources sources;
    sources.osRelease = platform::ReadOsReleaseFile;
    sources.physicalMemory = platform::TotalPhysicalMemoryBytes;
    sources.cpuid = &platform::SystemCpuId();
    sources.counters = &platform::SystemCounters();
    return sources;
}

QString OsInfo::ProductName() const {
    return OsReleasePrettyName(osRelease_());
}

QString CpuInfo::Name() const {
    return IdentifyProcessor(cpuid_, counters_).Name();
}

quint32 CpuInfo::NominalMhz() const {
    return IdentifyProcessor(cpuid_, counters_).FrequencyInfo.NominalMhz;
}

ComputerInfo::ComputerInfo(ComputerInfoSources sources) : sources_(std::move(sources)) {}

ComputerInfo::~ComputerInfo() = default;

OsInfo& ComputerInfo::OS() {
    if (!os_)
        os_ = std::make_unique<OsInfo>(sources_.osRelease);
    return *os_;
}

RamInfo& ComputerInfo::Memory() {
    if (!memory_)
        memory_ = std::make_unique<RamInfo>(sources_.physicalMemory);
    return *memory_;
}

CpuInfo& ComputerInfo::CPU() {
    if (!cpu_)
        cpu_ = std::make_unique<CpuInfo>(*sources_.cpuid, *sources_.counters);
    return *cpu_;
}

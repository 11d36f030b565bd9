#include "ReportText.h"

namespace {

// A value as one line of the report. "=" would make a reader take only what follows it,
// and a line break would end the line early.
QString clean(QString value) {
    for (QChar& c : value) {
        if (c == QLatin1Char('='))
            c = QLatin1Char('-');
        else if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    value = value.trimmed();
    return value.isEmpty() ? QStringLiteral("n/a") : value;
}

// "label: value" with the label right-aligned to `width` columns.
QString line(int width, const QString& label, const QString& value) {
    return (label + QLatin1Char(':')).rightJustified(width) + QLatin1Char(' ') + clean(value);
}

void title(QStringList& lines, const QString& text) {
    const QString dashes(text.size(), QLatin1Char('-'));
    lines << dashes << text << dashes;
}

constexpr int MachineWidth = 20;
constexpr int DisplayWidth = 18;
constexpr int SoundWidth = 24;

} // namespace

QStringList DiagnosticsReport(const QString& reportTime, const MachineFacts& machine,
                              const QList<DisplayAdapterFacts>& adapters,
                              const QList<SoundDeviceFacts>& sounds) {
    QStringList lines;
    title(lines, QStringLiteral("System Information"));
    lines << line(MachineWidth, QStringLiteral("Time of this report"), reportTime)
          << line(MachineWidth, QStringLiteral("Machine name"), machine.machineName)
          << line(MachineWidth, QStringLiteral("Operating System"), machine.operatingSystem)
          << line(MachineWidth, QStringLiteral("Processor"), machine.processor)
          << line(MachineWidth, QStringLiteral("Memory"), machine.memory) << QString();

    title(lines, QStringLiteral("Display Devices"));
    // Without an adapter the block still stands, so that every fact reads "n/a".
    const QList<DisplayAdapterFacts> shown =
        adapters.isEmpty() ? QList<DisplayAdapterFacts>{DisplayAdapterFacts{}} : adapters;
    for (const DisplayAdapterFacts& a : shown) {
        lines << line(DisplayWidth, QStringLiteral("Card name"), a.cardName)
              << line(DisplayWidth, QStringLiteral("Manufacturer"), a.manufacturer)
              << line(DisplayWidth, QStringLiteral("Chip type"), a.chipType)
              << line(DisplayWidth, QStringLiteral("Device Key"), a.deviceKey)
              << line(DisplayWidth, QStringLiteral("Display Memory"), a.displayMemory)
              << line(DisplayWidth, QStringLiteral("Driver Name"), a.driverName)
              << line(DisplayWidth, QStringLiteral("Driver Version"), a.driverVersion) << QString();
    }

    title(lines, QStringLiteral("Sound Devices"));
    const QList<SoundDeviceFacts> heard =
        sounds.isEmpty() ? QList<SoundDeviceFacts>{SoundDeviceFacts{}} : sounds;
    for (const SoundDeviceFacts& s : heard) {
        lines << line(SoundWidth, QStringLiteral("Description"), s.description)
              << line(SoundWidth, QStringLiteral("Driver Name"), s.driverName) << QString();
    }
    return lines;
}

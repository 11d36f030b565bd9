#include "LinuxFacts.h"

#include "platform/OutsideFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {

// "0x1002\n" -> "1002"
QString hexId(const QString& text) {
    QString id = text.trimmed().toLower();
    if (id.startsWith(QLatin1String("0x")))
        id = id.mid(2);
    return id;
}

QString megabytes(quint64 bytes) {
    return QStringLiteral("%1 MB").arg(bytes / 1048576);
}

// The last element of a link's target: a device's driver or a driver's module.
QString linkName(const QString& link) {
    const QFileInfo info(link);
    if (!info.isSymLink())
        return {};
    return QFileInfo(info.symLinkTarget()).fileName();
}

// The largest memory window a PCI device decodes, from its "resource" table.
quint64 largestMemoryWindow(const QString& resourceTable) {
    constexpr quint64 ResourceMem = 0x200;
    quint64 largest = 0;
    for (const QString& line : resourceTable.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.size() < 3)
            continue;
        const quint64 start = f[0].toULongLong(nullptr, 16);
        const quint64 end = f[1].toULongLong(nullptr, 16);
        const quint64 flags = f[2].toULongLong(nullptr, 16);
        if ((flags & ResourceMem) && start != 0 && end > start)
            largest = std::max(largest, end - start + 1);
    }
    return largest;
}

// Numeric order, so card10 follows card9.
void sortByNumber(QStringList& names, const QString& prefix) {
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        return a.mid(prefix.size()).toInt() < b.mid(prefix.size()).toInt();
    });
}

} // namespace

QString LinuxFacts::readText(const QString& absolute) const {
    // The facts lie at the start of these files; a FIFO or a device put there is not read.
    constexpr qint64 MaxBytes = 4 * 1024 * 1024;
    const platform::OutsideFile file =
        platform::ReadSystemFile(path(absolute), MaxBytes, platform::OutsideRead::FirstBytes);
    return file.ok() ? QString::fromUtf8(file.bytes) : QString();
}

MachineFacts LinuxFacts::Machine() const {
    MachineFacts facts;
    facts.machineName = readText(QStringLiteral("/proc/sys/kernel/hostname")).trimmed();
    static const QRegularExpression pretty(QStringLiteral("^PRETTY_NAME=\"?([^\"\\n]*)\"?$"),
                                           QRegularExpression::MultilineOption);
    const QRegularExpressionMatch os = pretty.match(readText(QStringLiteral("/etc/os-release")));
    if (os.hasMatch())
        facts.operatingSystem = os.captured(1).trimmed();
    static const QRegularExpression model(QStringLiteral("^model name\\s*:\\s*(.*)$"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch cpu = model.match(readText(QStringLiteral("/proc/cpuinfo")));
    if (cpu.hasMatch())
        facts.processor = cpu.captured(1).trimmed();
    static const QRegularExpression total(QStringLiteral("^MemTotal:\\s*(\\d+) kB"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch mem = total.match(readText(QStringLiteral("/proc/meminfo")));
    if (mem.hasMatch())
        facts.memory = QStringLiteral("%1MB RAM").arg(mem.captured(1).toULongLong() / 1024);
    return facts;
}

std::pair<QString, QString> LinuxFacts::pciNames(const QString& vendorId,
                                                 const QString& deviceId) const {
    for (const QString& list :
         {QStringLiteral("/usr/share/misc/pci.ids"), QStringLiteral("/usr/share/hwdata/pci.ids")}) {
        const int fd = platform::OpenRegularFile(path(list));
        QFile file;
        if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            continue;
        QString vendor;
        QString device;
        bool inVendor = false;
        while (!file.atEnd()) {
            QByteArray raw = file.readLine();
            while (raw.endsWith('\n') || raw.endsWith('\r'))
                raw.chop(1);
            if (raw.isEmpty() || raw.startsWith('#'))
                continue;
            if (raw[0] != '\t') {
                if (inVendor)
                    break; // the vendor's devices are over
                if (raw.left(4).toLower() == vendorId.toLatin1() && raw.size() > 6) {
                    vendor = QString::fromUtf8(raw.mid(6)).trimmed();
                    inVendor = true;
                }
                continue;
            }
            if (inVendor && raw.size() > 7 && raw[1] != '\t' &&
                raw.mid(1, 4).toLower() == deviceId.toLatin1()) {
                device = QString::fromUtf8(raw.mid(7)).trimmed();
                break;
            }
        }
        return {vendor, device};
    }
    return {};
}

QString LinuxFacts::moduleVersion(const QString& module) const {
    QString version;
    if (!module.isEmpty())
        version = readText(QStringLiteral("/sys/module/%1/version").arg(module)).trimmed();
    if (version.isEmpty()) // built into the kernel or versioned with it
        version = readText(QStringLiteral("/proc/sys/kernel/osrelease")).trimmed();
    return version;
}

DisplayAdapterFacts LinuxFacts::pciAdapter(const QString& deviceDir) const {
    DisplayAdapterFacts facts;
    const QString vendorId = hexId(readText(deviceDir + QStringLiteral("/vendor")));
    const QString deviceId = hexId(readText(deviceDir + QStringLiteral("/device")));
    if (!vendorId.isEmpty() && !deviceId.isEmpty()) {
        facts.deviceKey =
            QStringLiteral("PCI\\VEN_%1&DEV_%2").arg(vendorId.toUpper(), deviceId.toUpper());
        const auto [vendor, device] = pciNames(vendorId, deviceId);
        facts.manufacturer = vendor;
        facts.chipType = device;
        if (!vendor.isEmpty() && !device.isEmpty())
            facts.cardName = vendor + QLatin1Char(' ') + device;
        else
            facts.cardName = QStringLiteral("PCI device %1:%2").arg(vendorId, deviceId);
    }

    const quint64 vram =
        readText(deviceDir + QStringLiteral("/mem_info_vram_total")).trimmed().toULongLong();
    const quint64 window = largestMemoryWindow(readText(deviceDir + QStringLiteral("/resource")));
    if (vram > 0)
        facts.displayMemory = megabytes(vram);
    else if (window > 0)
        facts.displayMemory = megabytes(window);

    facts.driverName = linkName(path(deviceDir + QStringLiteral("/driver")));
    if (!facts.driverName.isEmpty()) {
        QString module = linkName(path(deviceDir + QStringLiteral("/driver/module")));
        if (module.isEmpty())
            module = facts.driverName;
        const QString version = moduleVersion(module);
        facts.driverVersion = version.isEmpty() ? module : module + QLatin1Char(' ') + version;
    }
    return facts;
}

QList<DisplayAdapterFacts> LinuxFacts::DisplayAdapters() const {
    QList<DisplayAdapterFacts> adapters;
    const QString drm = QStringLiteral("/sys/class/drm");
    QStringList cards = QDir(path(drm)).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    static const QRegularExpression cardName(QStringLiteral("^card\\d+$"));
    cards = cards.filter(cardName);
    sortByNumber(cards, QStringLiteral("card"));
    for (const QString& card : cards)
        adapters.append(pciAdapter(drm + QLatin1Char('/') + card + QStringLiteral("/device")));
    if (!adapters.isEmpty())
        return adapters;

    // No DRM driver bound: the display controllers on the PCI bus.
    const QString bus = QStringLiteral("/sys/bus/pci/devices");
    for (const QString& device :
         QDir(path(bus)).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
        const QString dir = bus + QLatin1Char('/') + device;
        const uint cls = hexId(readText(dir + QStringLiteral("/class"))).toUInt(nullptr, 16);
        if ((cls >> 16) == 0x03)
            adapters.append(pciAdapter(dir));
    }
    return adapters;
}

QList<SoundDeviceFacts> LinuxFacts::SoundDevices() const {
    QList<SoundDeviceFacts> devices;
    // " 0 [PCH            ]: HDA-Intel - HDA Intel PCH"
    static const QRegularExpression card(
        QStringLiteral("^\\s*\\d+\\s+\\[[^\\]]*\\]:\\s*(.*?)\\s+-\\s+(.*)$"),
        QRegularExpression::MultilineOption);
    auto it = card.globalMatch(readText(QStringLiteral("/proc/asound/cards")));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        devices.append({m.captured(2).trimmed(), m.captured(1).trimmed()});
    }
    return devices;
}

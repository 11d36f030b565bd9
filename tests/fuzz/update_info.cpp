// The update information file as it comes from the server, and the version comparison.
#include "update/UpdateInfo.h"

#include <QByteArray>
#include <QDate>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = InfoText(body);
    const UpdateInfo info = ParseUpdateInfo(text);
    if (info.Damaged) {
        if (!info.Files.isEmpty() || !info.InfoVersion.isEmpty())
            __builtin_trap();
    } else {
        if (text.size() > InfoFileLimits::Bytes || info.Files.size() > InfoFileLimits::Files)
            __builtin_trap();
        for (const QString& file : info.Files) {
            if (file.isEmpty() || file.size() > InfoFileLimits::EntryLength)
                __builtin_trap();
        }
        if (info.UpgradeMsg.size() > text.size() || info.InfoVersion.size() > text.size())
            __builtin_trap();
    }
    const QDate today(2008, 3, 12);
    UpdateAvailable(info, {VersionComparison::ByNumber, QStringLiteral("1.3.0.0"), {}, today});
    UpdateAvailable(info, {VersionComparison::ByDate, {}, QStringLiteral("03/12/2008"), today});
    if (!ParseInfoDate(info.InfoDate, today).isValid())
        __builtin_trap();

    // Any two texts: the comparison is an order.
    const qsizetype half = body.size() / 2;
    const QString a = InfoText(body.left(half));
    const QString b = InfoText(body.mid(half));
    const int ab = CompareVersionText(a, b);
    if (ab != -CompareVersionText(b, a) || CompareVersionText(a, a) != 0 || ab < -1 || ab > 1)
        __builtin_trap();
    return 0;
}

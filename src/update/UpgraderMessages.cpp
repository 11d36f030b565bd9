#include "update/UpgraderMessages.h"

#include <QUrl>
#include <array>

namespace {

// clang-format off
const std::array<const char*, UpgraderMessageCount> English = {
    "Application update wizard",
    "Downloading files...",
    "Upgrade completed!",
    "Current file",
    "All files",
    "Downloading file from",
    "File size: %.1f Kb",
    "Transfer rate: %.1f Kb/s",
    "Estimated time left: %d:%.2d:%.2d",
    "Downloading %d of %d",
    "The update of %s has been successfully completed.\n\nPress the OK button to restart program.",
    "Enter password",
    "User Name",
    "Password",
    "&Yes",
    "&No",
    "&OK",
    "&Cancel",
    "&Next >",
    "&Later",
    "Warning",
    "Error",
    "Preparing. . .",
    "A newer version of %s was released.\n%s\nDo you want to update your version with the latest one?",
    "Newer version not found. You actually are\nusing most recent version of this program.",
    "File which contains upgrade information was not found on developer's site.",
    "Host %s unreachable.\n\nPlease check your Internet connection and\ntry to upgrade this software again later.",
    "The update is not completed.\nWould you like to abort upgrading?",
    "File %s not found or inaccessible.\n\nTry to skip this file and continue upgrade?",
    "The server asks for a user name and password to get %s.",
    "Connection with remote server lost.\n\nPlease restore connection and try to\nupgrade this software again later.",
};
// clang-format on

// Fills the placeholders of `format` in order. Each placeholder is one of the forms the
// catalogue uses: %s, %d, %.1f, %.2d; the argument texts are ready-made.
QString Fill(const QString& format, const QStringList& values) {
    static const char* const forms[] = {"%s", "%d", "%.1f", "%.2d"};
    QString out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size();) {
        bool matched = false;
        for (const char* form : forms) {
            const QLatin1StringView f(form);
            if (format.mid(i, f.size()) == f && next < values.size()) {
                out += values[next++];
                i += f.size();
                matched = true;
                break;
            }
        }
        if (!matched)
            out += format.at(i++);
    }
    return out;
}

QString TwoDigits(qint64 value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString UpgraderMessages(int number) {
    if (number < 0 || number >= UpgraderMessageCount)
        return {};
    return QString::fromLatin1(English[static_cast<size_t>(number)]);
}

QString FileSizeText(qint64 bytes, const QLocale& locale) {
    return Fill(UpgraderMessages(6), {locale.toString(bytes / 1024.0, 'f', 1)});
}

QString TransferRateText(double kilobytesPerSecond, const QLocale& locale) {
    return Fill(UpgraderMessages(7), {locale.toString(kilobytesPerSecond, 'f', 1)});
}

QString EstimatedTimeText(qint64 secondsLeft) {
    return Fill(UpgraderMessages(8),
                {QString::number(secondsLeft / 3600), TwoDigits((secondsLeft / 60) % 60),
                 TwoDigits(secondsLeft % 60)});
}

QString DownloadingText(int number, int count) {
    return Fill(UpgraderMessages(9), {QString::number(number), QString::number(count)});
}

QString GroupCaption(int number) {
    return QLatin1Char(' ') + UpgraderMessages(number) + QLatin1Char(' ');
}

QString UpgradeCompletedText(const QString& applicationTitle) {
    return Fill(UpgraderMessages(10), {applicationTitle});
}

QString AskUpgradeText(const QString& applicationTitle, const QString& upgradeMsg) {
    const QString framed =
        upgradeMsg.isEmpty() ? QString() : QLatin1Char('\n') + upgradeMsg + QLatin1Char('\n');
    return Fill(UpgraderMessages(23), {applicationTitle, framed});
}

QString HostUnreachableText(const QString& hostName) {
    return Fill(UpgraderMessages(26), {QStringLiteral("http://") + hostName});
}

QString LostFileText(const QString& url) {
    const QString path = QUrl(url).path();
    return Fill(UpgraderMessages(28), {path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)});
}

QString LostFileCaption(int statusCode) {
    return UpgraderMessages(21) + QStringLiteral(" #") + QString::number(statusCode);
}

QString PasswordRequestText(const QString& remoteFile) {
    return Fill(UpgraderMessages(29), {remoteFile});
}

QString TargetOutsideText(const QString& target) {
    return QStringLiteral("The update would write %1, outside the program's folder. The upgrade "
                          "is cancelled.")
        .arg(target);
}

QString AddressRefusedText(const QString& address) {
    return QStringLiteral("The update points to %1, which is not a web address. It is not "
                          "opened.")
        .arg(address);
}

QString SignatureFailedText(const QString& url) {
    const QString path = QUrl(url).path();
    return QStringLiteral("The signature of \"%1\" is missing or not valid. The upgrade was "
                          "cancelled.")
        .arg(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}

namespace {

QString UrlFileName(const QString& url) {
    const QString path = QUrl(url).path();
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

QString NotReleasedText(const QString& url) {
    return QStringLiteral("\"%1\" is not the file the maker released. The upgrade was cancelled.")
        .arg(UrlFileName(url));
}

QString TargetTwiceText(const QString& url) {
    return QStringLiteral("The release described by \"%1\" names a file twice. The upgrade was "
                          "cancelled.")
        .arg(UrlFileName(url));
}

QString UpdateInfoExpiredText() {
    return QStringLiteral("The update information has expired; check the maker's site.");
}

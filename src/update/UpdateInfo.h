#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

// The update information file on the maker's server, and the rules that decide whether it
// announces something newer than the running program. Everything here is pure.

// How an update is applied. The value is the digit of "#method" and of the helper's command
// line.
enum class UpgradeMethod { SelfUpgrade = 0, ExternalSetup = 1, RedirectToUrl = 2 };

// What tells a newer version: "#version" against the running program's version number, or
// "#date" against its date.
enum class VersionComparison { ByDate, ByNumber };

// What a file may hold. A file beyond them is damaged: no information at all.
struct InfoFileLimits {
    static constexpr qsizetype Bytes = 1024 * 1024;
    static constexpr qsizetype Files = 1000;
    static constexpr qsizetype EntryLength = 8192; // characters of one file entry
};

struct UpdateInfo {
    bool Damaged = false; // beyond InfoFileLimits; every other field is then empty
    QStringList Files;    // FileEntry texts (URL or URL=target), in file order
    QString InfoVersion;
    QString InfoDate;
    QString UpgradeMsg;
    UpgradeMethod Method = UpgradeMethod::SelfUpgrade;
};

// The body as the checker reads it: one character per byte.
QString InfoText(const QByteArray& body);

// The value of "key=" (or "key={" when braced) in `text`; keys ignore case, values keep it.
// The text's last two characters never belong to a value: they are normally its closing line
// break.
QString InfoValue(const QString& text, const QString& key, bool braced);

// "#url", "#url0", then "#url" + n from the next free number on, up to the first gap. More
// entries than InfoFileLimits::Files, or an entry longer than InfoFileLimits::EntryLength, set
// `damaged` (when given) and give no entries.
QStringList InfoFiles(const QString& text, bool* damaged = nullptr);

// -1, 0 or 1 for four dotted numbers; falls back to a byte comparison of the whole texts when
// a part is not a number.
int CompareVersionText(const QString& a, const QString& b);

// MM/DD/YYYY; anything else, or a date that does not exist, gives `today`.
QDate ParseInfoDate(const QString& text, const QDate& today);

// From the "#method" value: "1..." external setup, "2..." redirect, anything else self-upgrade.
UpgradeMethod UpgradeMethodFromText(const QString& methodValue);

// Every field of the file. The message is the braced "#message" value. A text longer than
// InfoFileLimits::Bytes, or beyond the file limits, is damaged.
UpdateInfo ParseUpdateInfo(const QString& text);

struct VersionCheck {
    VersionComparison CompareBy = VersionComparison::ByNumber;
    QString VersionNumber; // the running program's version text
    QString VersionDate;   // the running program's date, MM/DD/YYYY (ByDate only)
    QDate Today;           // what a malformed date stands for
};

// Newer than the running program and at least one file to fetch; never for a damaged file.
bool UpdateAvailable(const UpdateInfo& info, const VersionCheck& check);

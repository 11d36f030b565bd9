#include "update/UpdateInfo.h"

#include <QHash>
#include <algorithm>

QString InfoText(const QByteArray& body) {
    return QString::fromLatin1(body);
}

namespace {

// Keys are ASCII: only ASCII letters change, so positions in the copy are positions in the text.
QString AsciiLower(const QString& text) {
    QString lower = text;
    for (QChar& c : lower) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return lower;
}

// The value that starts at `start`: up to its first character below 32 (plain) or its first
// "}" (braced), and never into the text's last two characters. A value longer than `limit`
// characters gives nothing and sets `tooLong`; no more than that is looked at.
QString ValueAt(const QString& text, qsizetype start, bool braced, qsizetype limit, bool* tooLong) {
    const qsizetype end = text.size() - 2; // the closing line break is never part of a value
    if (end <= start)
        return {};
    const qsizetype last = std::min(end, start + limit + 1);
    for (qsizetype i = start; i < last; ++i) {
        const QChar c = text.at(i);
        if (braced ? c == QLatin1Char('}') : c.unicode() < 32)
            return text.mid(start, i - start);
    }
    if (last < end) {
        if (tooLong)
            *tooLong = true;
        return {};
    }
    return text.mid(start, end - start);
}

} // namespace

QString InfoValue(const QString& text, const QString& key, bool braced) {
    QString pattern = AsciiLower(key + QLatin1Char('='));
    if (braced)
        pattern += QLatin1Char('{');
    const qsizetype at = AsciiLower(text).indexOf(pattern);
    if (at < 0)
        return {};
    return ValueAt(text, at + pattern.size(), braced, text.size(), nullptr);
}

QStringList InfoFiles(const QString& text, bool* damaged) {
    // One pass finds the first "#url<digits>=" of every number: the place a search for each
    // key finds, without a search through the whole text per entry.
    const QString lower = AsciiLower(text);
    const QString marker = QStringLiteral("#url");
    QHash<QString, qsizetype> valueStart; // by the digits after "#url" ("" for "#url")
    for (qsizetype at = lower.indexOf(marker); at >= 0; at = lower.indexOf(marker, at + 1)) {
        qsizetype i = at + marker.size();
        while (i < lower.size() && lower.at(i) >= u'0' && lower.at(i) <= u'9')
            ++i;
        if (i < lower.size() && lower.at(i) == u'=') {
            const QString digits = lower.mid(at + marker.size(), i - at - marker.size());
            if (!valueStart.contains(digits))
                valueStart.insert(digits, i + 1);
        }
    }
    bool tooLong = false;
    const auto value = [&](const QString& digits) {
        const auto found = valueStart.constFind(digits);
        return found == valueStart.cend()
                   ? QString()
                   : ValueAt(text, *found, false, InfoFileLimits::EntryLength, &tooLong);
    };
    QStringList files;
    for (const QString& digits : {QString(), QStringLiteral("0")}) {
        const QString v = value(digits);
        if (!v.isEmpty())
            files << v;
    }
    for (qsizetype n = files.size() + 1; !tooLong && files.size() <= InfoFileLimits::Files; ++n) {
        const QString v = value(QString::number(n));
        if (v.isEmpty())
            break;
        files << v;
    }
    if (tooLong || files.size() > InfoFileLimits::Files) {
        if (damaged)
            *damaged = true;
        return {};
    }
    return files;
}

namespace {

QStringList FourParts(const QString& text) {
    QString rest = text + QLatin1Char('.');
    QStringList parts;
    for (int i = 0; i < 4; ++i) {
        const qsizetype dot = rest.indexOf(QLatin1Char('.'));
        if (dot < 0) {
            parts << QStringLiteral("0");
            continue;
        }
        parts << rest.left(dot);
        rest = rest.mid(dot + 1);
    }
    return parts;
}

int CompareBytes(const QString& a, const QString& b) {
    const QByteArray x = a.toLatin1();
    const QByteArray y = b.toLatin1();
    const auto less = [](char l, char r) {
        return static_cast<unsigned char>(l) < static_cast<unsigned char>(r);
    };
    if (std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), less))
        return -1;
    if (std::lexicographical_compare(y.begin(), y.end(), x.begin(), x.end(), less))
        return 1;
    return 0;
}

// -1 stands for "not a number", so a written -1 is not one either.
int PartNumber(const QString& part) {
    bool ok = false;
    const int value = part.toInt(&ok, 10);
    return ok ? value : -1;
}

} // namespace

int CompareVersionText(const QString& a, const QString& b) {
    const QStringList left = FourParts(a);
    const QStringList right = FourParts(b);
    for (int i = 0; i < 4; ++i) {
        const int x = PartNumber(left[i]);
        const int y = PartNumber(right[i]);
        if (x == -1 || y == -1)
            return CompareBytes(a, b);
        if (x != y)
            return x > y ? 1 : -1;
    }
    return 0;
}

QDate ParseInfoDate(const QString& text, const QDate& today) {
    const qsizetype first = text.indexOf(QLatin1Char('/'));
    if (first < 0)
        return today;
    const qsizetype second = text.indexOf(QLatin1Char('/'), first + 1);
    if (second < 0)
        return today;
    bool okMonth = false, okDay = false, okYear = false;
    const int month = text.left(first).toInt(&okMonth, 10);
    const int day = text.mid(first + 1, second - first - 1).toInt(&okDay, 10);
    const int year = text.mid(second + 1).toInt(&okYear, 10);
    if (!okMonth || !okDay || !okYear)
        return today;
    const QDate date(year, month, day);
    return date.isValid() ? date : today;
}

UpgradeMethod UpgradeMethodFromText(const QString& methodValue) {
    if (methodValue.startsWith(QLatin1Char('1')))
        return UpgradeMethod::ExternalSetup;
    if (methodValue.startsWith(QLatin1Char('2')))
        return UpgradeMethod::RedirectToUrl;
    return UpgradeMethod::SelfUpgrade;
}

UpdateInfo ParseUpdateInfo(const QString& text) {
    UpdateInfo info;
    if (text.size() > InfoFileLimits::Bytes) {
        info.Damaged = true;
        return info;
    }
    info.Files = InfoFiles(text, &info.Damaged);
    if (info.Damaged)
        return info;
    info.InfoVersion = InfoValue(text, QStringLiteral("#version"), false);
    info.InfoDate = InfoValue(text, QStringLiteral("#date"), false);
    info.UpgradeMsg = InfoValue(text, QStringLiteral("#message"), true);
    info.Method = UpgradeMethodFromText(InfoValue(text, QStringLiteral("#method"), false));
    return info;
}

bool UpdateAvailable(const UpdateInfo& info, const VersionCheck& check) {
    bool newer = false;
    if (check.CompareBy == VersionComparison::ByNumber)
        newer = CompareVersionText(info.InfoVersion, check.VersionNumber) > 0;
    else
        newer = ParseInfoDate(check.VersionDate, check.Today) <
                ParseInfoDate(info.InfoDate, check.Today);
    return newer && !info.Damaged && !info.Files.isEmpty();
}

#include "update/UpdateInfo.h"

#include <algorithm>

QString InfoText(const QByteArray& body) {
    return QString::fromLatin1(body);
}

QString InfoValue(const QString& text, const QString& key, bool braced) {
    QString pattern = (key + QLatin1Char('=')).toLower();
    if (braced)
        pattern += QLatin1Char('{');
    const qsizetype at = text.toLower().indexOf(pattern);
    if (at < 0)
        return {};
    const qsizetype start = at + pattern.size();
    const qsizetype end = text.size() - 2; // the closing line break is never part of a value
    if (end <= start)
        return {};
    const QString candidate = text.mid(start, end - start);
    qsizetype cut = candidate.size();
    for (qsizetype i = 0; i < candidate.size(); ++i) {
        const QChar c = candidate.at(i);
        if (braced ? c == QLatin1Char('}') : c.unicode() < 32) {
            cut = i;
            break;
        }
    }
    return candidate.left(cut);
}

QStringList InfoFiles(const QString& text) {
    QStringList files;
    for (const char* key : {"#url", "#url0"}) {
        const QString value = InfoValue(text, QString::fromLatin1(key), false);
        if (!value.isEmpty())
            files << value;
    }
    for (qsizetype n = files.size() + 1;; ++n) {
        const QString value = InfoValue(text, QStringLiteral("#url%1").arg(n), false);
        if (value.isEmpty())
            break;
        files << value;
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

TUpgradeMethod UpgradeMethodFromText(const QString& methodValue) {
    if (methodValue.startsWith(QLatin1Char('1')))
        return umUseExternalSetup;
    if (methodValue.startsWith(QLatin1Char('2')))
        return umRedirectToURL;
    return umSelfUpgrade;
}

UpdateInfo ParseUpdateInfo(const QString& text) {
    UpdateInfo info;
    info.Files = InfoFiles(text);
    info.InfoVersion = InfoValue(text, QStringLiteral("#version"), false);
    info.InfoDate = InfoValue(text, QStringLiteral("#date"), false);
    info.UpgradeMsg = InfoValue(text, QStringLiteral("#message"), true);
    info.UpgradeMethod = UpgradeMethodFromText(InfoValue(text, QStringLiteral("#method"), false));
    return info;
}

bool UpdateAvailable(const UpdateInfo& info, const VersionCheck& check) {
    bool newer = false;
    if (check.VersionControl == byNumber)
        newer = CompareVersionText(info.InfoVersion, check.VersionNumber) > 0;
    else
        newer = ParseInfoDate(check.VersionDate, check.Today) <
                ParseInfoDate(info.InfoDate, check.Today);
    return newer && !info.Files.isEmpty();
}

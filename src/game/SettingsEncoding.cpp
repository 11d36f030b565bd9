#include "game/SettingsEncoding.h"

#include "model/OptionLists.h"

namespace {

// The item whose code is `text`, exactly.
std::optional<int> findCode(int itemCount, QString (*encode)(int), const QString& text) {
    for (int i = 0; i < itemCount; ++i)
        if (text == encode(i))
            return i;
    return std::nullopt;
}

} // namespace

QString EncodeIndex(int index) {
    return QString::number(index);
}

std::optional<int> DecodeIndex(const QString& text, int itemCount) {
    for (int i = 0; i < itemCount; ++i)
        if (text == QString::number(i))
            return i;
    return std::nullopt;
}

QString EncodeFlag(bool set) {
    return set ? QStringLiteral("1") : QStringLiteral("0");
}

bool DecodeTickedOnlyWhenOne(const QString& text) {
    return text == QLatin1String("1");
}

bool DecodeSetUnlessZero(const QString& text) {
    return text != QLatin1String("0");
}

QString EncodeRunNumber(int index) {
    return QString::number(index + 1);
}

std::optional<int> DecodeRunNumber(const QString& text) {
    for (int i = 0; i < 5; ++i)
        if (text == QString::number(i + 1))
            return i;
    return std::nullopt;
}

QString EncodeDemo(DemoKind kind) {
    return kind == DemoKind::Shipped ? QStringLiteral("1") : QStringLiteral("2");
}

std::optional<DemoKind> DecodeDemo(const QString& text) {
    if (text == QLatin1String("1"))
        return DemoKind::Shipped;
    if (text == QLatin1String("2"))
        return DemoKind::Custom;
    return std::nullopt;
}

// The heap size in kilobytes as the game's "-heapsize" takes it.
QString EncodeHeapSize(int index) {
    const int megabytes = HeapSizeMegabytes(index);
    return megabytes > 0 ? QString::number(megabytes * 1000) : QString();
}

std::optional<int> DecodeHeapSize(const QString& text) {
    return findCode(static_cast<int>(HeapSizeItems().size()), EncodeHeapSize, text);
}

QString EncodeRefresh(int index) {
    const int hertz = RefreshRateHertz(index);
    return hertz > 0 ? QString::number(hertz) : QString();
}

std::optional<int> DecodeRefresh(const QString& text) {
    return findCode(static_cast<int>(RefreshItems().size()), EncodeRefresh, text);
}

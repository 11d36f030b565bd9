#include "game/SettingsEncoding.h"

#include <QStringList>

namespace {

const char* const HeapCodes[] = {"64000", "128000", "256000", "512000", "1024000"};
const char* const RefreshCodes[] = {"60", "70", "75", "85"};
const char* const ResolutionNames[] = {"640",  "800",  "1024", "1280", "1600",
                                       "2048", "hdw1", "hdw2", "hdw3"};

template <size_t N>
std::optional<int> findCode(const char* const (&codes)[N], const QString& text) {
    for (size_t i = 0; i < N; ++i)
        if (text == QLatin1String(codes[i]))
            return static_cast<int>(i);
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

QString EncodeHeapSize(int index) {
    return index >= 0 && index < 5 ? QString(QLatin1String(HeapCodes[index])) : QString();
}

std::optional<int> DecodeHeapSize(const QString& text) {
    return findCode(HeapCodes, text);
}

QString EncodeRefresh(int index) {
    return index >= 0 && index < 4 ? QString(QLatin1String(RefreshCodes[index])) : QString();
}

std::optional<int> DecodeRefresh(const QString& text) {
    return findCode(RefreshCodes, text);
}

QString ResolutionValueName(int slotIndex) {
    return slotIndex >= 0 && slotIndex < FixedSlotCount
               ? QString(QLatin1String(ResolutionNames[slotIndex]))
               : QString();
}

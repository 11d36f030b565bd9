#include "model/OptionLists.h"

namespace {

const int HeapMegabytes[] = {64, 128, 256, 512, 1024};
const int RefreshHertz[] = {60, 70, 75, 85};

bool inRange(std::optional<int> index, int count) {
    return index.has_value() && *index >= 0 && *index < count;
}

} // namespace

const QStringList& FilteringItems() {
    static const QStringList items = {QStringLiteral("Bilinear"),
                                      QStringLiteral("Trilinear"),
                                      QStringLiteral("Anisotropic 2\u00D7"),
                                      QStringLiteral("Anisotropic 4\u00D7"),
                                      QStringLiteral("Anisotropic 8\u00D7"),
                                      QStringLiteral("Anisotropic 16\u00D7"),
                                      QStringLiteral("From System")};
    return items;
}

const QStringList& AntialiasingItems() {
    static const QStringList items = {
        QStringLiteral("None"),      QStringLiteral("2\u00D7 MSAA"), QStringLiteral("4\u00D7 MSAA"),
        QStringLiteral("8x CSAA"),   QStringLiteral("16x CSAA"),     QStringLiteral("8x MSAA"),
        QStringLiteral("16xQ CSAA"), QStringLiteral("From System")};
    return items;
}

const QStringList& HdrItems() {
    static const QStringList items = {QStringLiteral("None"),
                                      QStringLiteral("Bloom (if available)"),
                                      QStringLiteral("Full (if available)")};
    return items;
}

const QStringList& HeapSizeItems() {
    static const QStringList items = {QStringLiteral("64 MB - default"), QStringLiteral("128 MB"),
                                      QStringLiteral("256 MB"), QStringLiteral("512 MB"),
                                      QStringLiteral("1024 MB")};
    return items;
}

const QStringList& RefreshItems() {
    static const QStringList items = {QStringLiteral("60 Hz"), QStringLiteral("70 Hz"),
                                      QStringLiteral("75 Hz"), QStringLiteral("85 Hz")};
    return items;
}

const QStringList& RunCountItems() {
    static const QStringList items = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                      QStringLiteral("4"), QStringLiteral("5")};
    return items;
}

const QStringList& DemoItems() {
    static const QStringList items = {QStringLiteral("Quillon demo"),
                                      QStringLiteral("Custom demo:")};
    return items;
}

const QStringList& DetailItems() {
    static const QStringList items = {QStringLiteral("Maximum quality")};
    return items;
}

QString ItemCaption(const QStringList& items, std::optional<int> index) {
    return inRange(index, static_cast<int>(items.size())) ? items.at(*index) : QString();
}

QString RefreshArg(std::optional<int> refreshRate) {
    if (!inRange(refreshRate, 4))
        return {};
    return QStringLiteral("-refresh %1").arg(RefreshRateHertz(*refreshRate));
}

QString HeapArg(std::optional<int> heapSize) {
    if (!inRange(heapSize, 5))
        return {};
    return QStringLiteral("-heapsize %1").arg(HeapSizeMegabytes(*heapSize) * 1000);
}

QString FastZArg(bool fastZ) {
    return fastZ ? QStringLiteral("+r_fastzreject 1") : QStringLiteral("+r_fastzreject 0");
}

int HeapSizeMegabytes(int heapSize) {
    return heapSize >= 0 && heapSize < 5 ? HeapMegabytes[heapSize] : 0;
}

int RefreshRateHertz(int refreshRate) {
    return refreshRate >= 0 && refreshRate < 4 ? RefreshHertz[refreshRate] : 0;
}

std::optional<int> HdrLevelValue(std::optional<int> hdrMode) {
    if (!inRange(hdrMode, 3))
        return std::nullopt;
    return *hdrMode;
}

int ColorCorrectionValue(bool colorCorrection) {
    return colorCorrection ? 1 : 0;
}

QString FastZReportCaption(bool fastZ) {
    return fastZ ? QStringLiteral("Enabled") : QStringLiteral("Disabled");
}

QString ColorCorrectionReportCaption(bool colorCorrection) {
    return colorCorrection ? QStringLiteral("Enabled") : QStringLiteral("Disabled");
}

QString DetailReportCaption(int /*detailLevel*/) {
    return QStringLiteral("Maximum");
}

QString CustomDemoName(const QString& demoPath) {
    QString name = demoPath.mid(demoPath.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.endsWith(QStringLiteral(".dem"), Qt::CaseInsensitive))
        name.chop(4);
    return name;
}

QString DemoReportCaption(DemoKind kind, const QString& customDemoName) {
    if (kind == DemoKind::Shipped)
        return QStringLiteral("Quillon demo");
    return QStringLiteral("Custom demo - ") + customDemoName;
}

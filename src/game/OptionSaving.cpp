#include "game/OptionSaving.h"

#include "game/SettingsEncoding.h"

namespace {

const QString Heapsize = QStringLiteral("Heapsize");
const QString Refresh = QStringLiteral("Refresh");
const QString Hdr = QStringLiteral("HDR");
} // namespace

void OptionSaving::ResolutionGroupLeft(const std::array<bool, FixedSlotCount>& ticked) {
    if (!store_.HasProgramKey())
        return;
    for (int i = 0; i < FixedSlotCount; ++i)
        store_.WriteValue(ResolutionValueName(i), EncodeFlag(ticked[static_cast<size_t>(i)]));
}

void OptionSaving::CustomResolutionBoxLeft(bool ticked, const QString& width,
                                           const QString& height) {
    store_.WriteValueGuarded(QStringLiteral("CusRes"),
                             EncodeFlag(ticked && !width.isEmpty() && !height.isEmpty()));
}

void OptionSaving::DemoGroupLeft(std::optional<DemoKind> chosen) {
    if (chosen)
        store_.WriteValueGuarded(QStringLiteral("Demo"), EncodeDemo(*chosen));
}

void OptionSaving::CustomDemoChosen(const QString& path) {
    if (!path.isEmpty())
        store_.WriteValue(QStringLiteral("Demoname"), path);
}

void OptionSaving::FilteringChanged(std::optional<int> index) {
    if (index)
        store_.WriteValue(QStringLiteral("AFLevel"), EncodeIndex(*index));
}

void OptionSaving::AntialiasingChanged(std::optional<int> index) {
    if (index)
        store_.WriteValue(QStringLiteral("AALevel"), EncodeIndex(*index));
}

int OptionSaving::RunNumberSaved(std::optional<int> index, int runCount) {
    if (!index || !store_.WriteValueGuarded(QStringLiteral("RunNumber"), EncodeRunNumber(*index)))
        return runCount;
    return *index + 1;
}

void OptionSaving::NoteChanged(const QString& text) {
    store_.WriteValue(QStringLiteral("Note"), text);
}

void OptionSaving::HeapSizeChanged(std::optional<int> index) {
    if (index)
        store_.WriteValue(Heapsize, EncodeHeapSize(*index));
}

void OptionSaving::HeapSizeBoxLeft(std::optional<int> index) {
    if (index)
        store_.WriteValueGuarded(Heapsize, EncodeHeapSize(*index));
}

void OptionSaving::RefreshChanged(std::optional<int> index) {
    if (index)
        store_.WriteValue(Refresh, EncodeRefresh(*index));
}

void OptionSaving::RefreshBoxLeft(std::optional<int> index) {
    if (index)
        store_.WriteValueGuarded(Refresh, EncodeRefresh(*index));
}

void OptionSaving::HdrChanged(std::optional<int> index) {
    if (index)
        store_.WriteValue(Hdr, EncodeIndex(*index));
}

void OptionSaving::HdrBoxLeft(std::optional<int> index) {
    if (index)
        store_.WriteValueGuarded(Hdr, EncodeIndex(*index));
}

void OptionSaving::FastZBoxLeft(bool ticked) {
    store_.WriteValueGuarded(QStringLiteral("FastZ"), EncodeFlag(ticked));
}

void OptionSaving::ColorCorrectionBoxLeft(bool ticked) {
    store_.WriteValueGuarded(QStringLiteral("ColorCorrection"), EncodeFlag(ticked));
}

void OptionSaving::ResultsEditLeft(const QString& text) {
    if (!text.isEmpty())
        store_.WriteValue(QStringLiteral("ResultPath"), text);
}

QString OptionSaving::ResultsFolderChosen(const QString& chosenPath) {
    const QString folder = ResultsFolderFromChosen(chosenPath);
    store_.WriteValue(QStringLiteral("ResultPath"), folder);
    return folder;
}

void OptionSaving::CustomSizeTaken(const QString& width, const QString& height) {
    store_.WriteValue(QStringLiteral("CusW"), width);
    store_.WriteValue(QStringLiteral("CusH"), height);
}

void OptionSaving::WindowClosing(const QString& note) {
    if (!store_.HasProgramKey())
        return;
    store_.WriteValue(QStringLiteral("Note"), note);
    for (const char* name : {"Display Memory", "Driver Version", "Sound"})
        store_.WriteValue(QLatin1String(name), QString());
}

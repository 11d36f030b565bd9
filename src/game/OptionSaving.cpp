#include "game/OptionSaving.h"

#include "game/SettingsEncoding.h"
#include "model/FixedResolutions.h"
#include "model/SettingNames.h"

namespace {

const QString Heapsize = SettingName::HeapSize;
const QString Refresh = SettingName::RefreshRate;
const QString Hdr = SettingName::Hdr;
} // namespace

void OptionSaving::ResolutionGroupLeft(const std::array<bool, FixedSlotCount>& ticked) {
    if (!store_.HasProgramKey())
        return;
    for (int i = 0; i < FixedSlotCount; ++i)
        store_.WriteValue(QLatin1StringView(FixedResolutions[static_cast<size_t>(i)].ValueName),
                          EncodeFlag(ticked[static_cast<size_t>(i)]));
}

void OptionSaving::CustomResolutionBoxLeft(bool ticked, const QString& width,
                                           const QString& height) {
    store_.WriteValueGuarded(SettingName::CustomTicked,
                             EncodeFlag(ticked && !width.isEmpty() && !height.isEmpty()));
}

void OptionSaving::DemoGroupLeft(std::optional<DemoKind> chosen) {
    if (chosen)
        store_.WriteValueGuarded(SettingName::Demo, EncodeDemo(*chosen));
}

void OptionSaving::CustomDemoChosen(const QString& path) {
    if (!path.isEmpty())
        store_.WriteValue(SettingName::CustomDemoPath, path);
}

void OptionSaving::FilteringChanged(std::optional<int> index) {
    if (index)
        store_.WriteValue(SettingName::Filtering, EncodeIndex(*index));
}

void OptionSaving::AntialiasingChanged(std::optional<int> index) {
    if (index)
        store_.WriteValue(SettingName::Antialiasing, EncodeIndex(*index));
}

int OptionSaving::RunNumberSaved(std::optional<int> index, int runCount) {
    if (!index || !store_.WriteValueGuarded(SettingName::RunCount, EncodeRunNumber(*index)))
        return runCount;
    return *index + 1;
}

void OptionSaving::NoteChanged(const QString& text) {
    store_.WriteValue(SettingName::Note, text);
}

void OptionSaving::HeapSizeChanged(std::optional<int> index) {
    if (index)
        store_.WriteValue(SettingName::HeapSize, EncodeHeapSize(*index));
}

void OptionSaving::HeapSizeBoxLeft(std::optional<int> index) {
    if (index)
        store_.WriteValueGuarded(SettingName::HeapSize, EncodeHeapSize(*index));
}

void OptionSaving::RefreshChanged(std::optional<int> index) {
    if (index)
        store_.WriteValue(SettingName::RefreshRate, EncodeRefresh(*index));
}

void OptionSaving::RefreshBoxLeft(std::optional<int> index) {
    if (index)
        store_.WriteValueGuarded(SettingName::RefreshRate, EncodeRefresh(*index));
}

void OptionSaving::HdrChanged(std::optional<int> index) {
    if (index)
        store_.WriteValue(SettingName::Hdr, EncodeIndex(*index));
}

void OptionSaving::HdrBoxLeft(std::optional<int> index) {
    if (index)
        store_.WriteValueGuarded(SettingName::Hdr, EncodeIndex(*index));
}

void OptionSaving::FastZBoxLeft(bool ticked) {
    store_.WriteValueGuarded(SettingName::FastZ, EncodeFlag(ticked));
}

void OptionSaving::ColorCorrectionBoxLeft(bool ticked) {
    store_.WriteValueGuarded(SettingName::ColorCorrection, EncodeFlag(ticked));
}

void OptionSaving::ResultsEditLeft(const QString& text) {
    if (!text.isEmpty())
        store_.WriteValue(SettingName::ResultsFolder, text);
}

QString OptionSaving::ResultsFolderChosen(const QString& chosenPath) {
    const QString folder = ResultsFolderFromChosen(chosenPath);
    store_.WriteValue(SettingName::ResultsFolder, folder);
    return folder;
}

void OptionSaving::CustomSizeTaken(const QString& width, const QString& height) {
    store_.WriteValue(SettingName::CustomWidth, width);
    store_.WriteValue(SettingName::CustomHeight, height);
}

void OptionSaving::WindowClosing(const QString& note) {
    if (!store_.HasProgramKey())
        return;
    store_.WriteValue(SettingName::Note, note);
    for (const QLatin1StringView name :
         {SettingName::DisplayMemory, SettingName::DriverVersion, SettingName::Sound})
        store_.WriteValue(name, QString());
}

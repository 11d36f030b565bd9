#include "model/SlotTable.h"

#include "model/FixedResolutions.h"

namespace {

const QString Times = QStringLiteral("\u00D7");

ResolutionSlot fixedSlot(int index, const FixedResolution& resolution) {
    const QString w = QString::number(resolution.Width);
    const QString h = QString::number(resolution.Height);
    const QString suffix = resolution.Wide ? QStringLiteral(" (HD WideScreen)") : QString();
    ResolutionSlot slot;
    slot.SlotIndex = index;
    slot.Width = w;
    slot.Height = h;
    slot.ItemCaption = w + QLatin1Char(' ') + Times + QLatin1Char(' ') + h;
    slot.StatusCaption =
        QStringLiteral("Resolution: ") + slot.ItemCaption + suffix + QStringLiteral("...");
    slot.SlotTag = QLatin1StringView(resolution.SlotTag);
    slot.ReportCaption = QStringLiteral("Resolution: ") + w + Times + h + suffix;
    return slot;
}

} // namespace

const std::vector<ResolutionSlot>& FixedSlots() {
    static const std::vector<ResolutionSlot> rows = [] {
        std::vector<ResolutionSlot> made;
        for (int i = 0; i < FixedSlotCount; ++i)
            made.push_back(fixedSlot(i, FixedResolutions[static_cast<size_t>(i)]));
        return made;
    }();
    return rows;
}

ResolutionSlot CustomSlot(const QString& width, const QString& height) {
    const QString size = width + QLatin1Char(' ') + Times + QLatin1Char(' ') + height;
    ResolutionSlot slot;
    slot.SlotIndex = CustomSlotIndex;
    slot.Width = width;
    slot.Height = height;
    slot.ItemCaption = QStringLiteral("Custom resolution:");
    slot.StatusCaption = QStringLiteral("Resolution: ") + size + QStringLiteral(" (Custom)...");
    slot.SlotTag = QStringLiteral("custom");
    slot.ReportCaption = QStringLiteral("Resolution: ") + size + QStringLiteral(" (Custom)");
    return slot;
}

std::vector<ResolutionSlot> SlotTable(const BenchmarkSettings& settings) {
    std::vector<ResolutionSlot> table = FixedSlots();
    table.push_back(CustomSlot(settings.CustomWidth, settings.CustomHeight));
    return table;
}

std::optional<ResolutionSlot> SlotByIndex(const BenchmarkSettings& settings, int slotIndex) {
    if (slotIndex < 0 || slotIndex > CustomSlotIndex)
        return std::nullopt;
    return SlotTable(settings)[static_cast<size_t>(slotIndex)];
}

std::optional<ResolutionSlot> SlotByTag(const BenchmarkSettings& settings, const QString& tag) {
    for (const ResolutionSlot& slot : SlotTable(settings))
        if (slot.SlotTag == tag)
            return slot;
    return std::nullopt;
}

bool IsSlotChosen(const BenchmarkSettings& settings, const ResolutionSlot& slot) {
    if (slot.SlotIndex < FixedSlotCount)
        return settings.ResolutionChecked[static_cast<size_t>(slot.SlotIndex)];
    return settings.CustomChecked && !settings.CustomWidth.isEmpty() &&
           !settings.CustomHeight.isEmpty();
}

int ChosenSlotCount(const BenchmarkSettings& settings) {
    int count = 0;
    for (const ResolutionSlot& slot : SlotTable(settings))
        count += IsSlotChosen(settings, slot) ? 1 : 0;
    return count;
}

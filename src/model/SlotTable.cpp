#include "model/SlotTable.h"

namespace {

const QString Times = QStringLiteral("\u00D7");

ResolutionSlot fixedSlot(int index, int width, int height, const QString& tag, bool wide) {
    const QString w = QString::number(width);
    const QString h = QString::number(height);
    const QString suffix = wide ? QStringLiteral(" (HD WideScreen)") : QString();
    ResolutionSlot slot;
    slot.SlotIndex = index;
    slot.Width = w;
    slot.Height = h;
    slot.ItemCaption = w + QLatin1Char(' ') + Times + QLatin1Char(' ') + h;
    slot.StatusCaption =
        QStringLiteral("Resolution: ") + slot.ItemCaption + suffix + QStringLiteral("...");
    slot.SlotTag = tag;
    slot.ReportCaption = QStringLiteral("Resolution: ") + w + Times + h + suffix;
    return slot;
}

} // namespace

const std::vector<ResolutionSlot>& FixedSlots() {
    static const std::vector<ResolutionSlot> rows = {
        fixedSlot(0, 640, 480, QStringLiteral("640"), false),
        fixedSlot(1, 800, 600, QStringLiteral("800"), false),
        fixedSlot(2, 1024, 768, QStringLiteral("1024"), false),
        fixedSlot(3, 1280, 1024, QStringLiteral("1280"), false),
        fixedSlot(4, 1600, 1200, QStringLiteral("1600"), false),
        fixedSlot(5, 2048, 1536, QStringLiteral("2048"), false),
        fixedSlot(6, 1280, 768, QStringLiteral("hdtv1"), true),
        fixedSlot(7, 1920, 1080, QStringLiteral("hdtv2"), true),
        fixedSlot(8, 1920, 1200, QStringLiteral("hdtv3"), true),
    };
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

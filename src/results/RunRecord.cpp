#include "results/RunRecord.h"

namespace {

std::optional<int> sizeNumber(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? std::optional<int>(value) : std::nullopt;
}

} // namespace

QString RowCaption(const ResolutionSlot& slot) {
    if (slot.SlotIndex != CustomSlotIndex)
        return slot.ItemCaption;
    return slot.Width + QStringLiteral(" \u00D7 ") + slot.Height + QStringLiteral(" (Custom)");
}

void AddRun(std::vector<RowRecord>& rows, const ResolutionSlot& slot, RunRecord run) {
    if (rows.empty() || rows.back().SlotIndex != slot.SlotIndex) {
        RowRecord row;
        row.SlotIndex = slot.SlotIndex;
        row.Caption = RowCaption(slot);
        row.Width = sizeNumber(slot.Width);
        row.Height = sizeNumber(slot.Height);
        rows.push_back(std::move(row));
    }
    rows.back().Runs.push_back(std::move(run));
}

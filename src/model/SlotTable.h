#pragma once

#include "model/BenchmarkSettings.h"

#include <QString>
#include <optional>
#include <vector>

// One row of the resolution table. For the custom row Width and Height are the two texts of
// the custom size edits, taken unchanged.
struct ResolutionSlot {
    int SlotIndex = 0;
    QString Width;
    QString Height;
    QString ItemCaption;
    QString StatusCaption;
    QString SlotTag;
    QString ReportCaption;
};

// The nine fixed rows, in run order.
const std::vector<ResolutionSlot>& FixedSlots();
// The custom row, its captions built from the two texts.
ResolutionSlot CustomSlot(const QString& width, const QString& height);
// All ten rows in run order; the custom row carries the settings' custom size.
std::vector<ResolutionSlot> SlotTable(const BenchmarkSettings& settings);

// Look-ups over the ten rows; tags compare exactly.
std::optional<ResolutionSlot> SlotByIndex(const BenchmarkSettings& settings, int slotIndex);
std::optional<ResolutionSlot> SlotByTag(const BenchmarkSettings& settings, const QString& tag);

bool IsSlotChosen(const BenchmarkSettings& settings, const ResolutionSlot& slot);
int ChosenSlotCount(const BenchmarkSettings& settings);

#pragma once

#include "model/BenchmarkSettings.h"

#include <QString>
#include <QStringList>
#include <optional>

// The items of every option box, with the captions the window shows and the report repeats.
const QStringList& FilteringItems();
const QStringList& AntialiasingItems();
const QStringList& HdrItems();
const QStringList& HeapSizeItems();
const QStringList& RefreshItems();
const QStringList& RunCountItems();
const QStringList& DemoItems();
const QStringList& DetailItems();

// The caption of the chosen item; empty when nothing (or something out of range) is chosen.
QString ItemCaption(const QStringList& items, std::optional<int> index);

// Launch arguments; an empty text when the box holds no choice.
QString RefreshArg(std::optional<int> refreshRate);
QString HeapArg(std::optional<int> heapSize);
QString FastZArg(bool fastZ);

// Heap sizes in megabytes by item, as the heap box offers them; 0 for no item.
int HeapSizeMegabytes(int heapSize);
// Refresh rates in hertz by item, as the refresh box offers them; 0 for no item.
int RefreshRateHertz(int refreshRate);

// Game values.
std::optional<int> HdrLevelValue(std::optional<int> hdrMode);
int ColorCorrectionValue(bool colorCorrection);

// Report captions.
QString FastZReportCaption(bool fastZ);
QString ColorCorrectionReportCaption(bool colorCorrection);
QString DetailReportCaption(int detailLevel);

// The name a custom demo file is played under: its file name without the final ".dem",
// the extension recognised in any letter case.
QString CustomDemoName(const QString& demoPath);
QString DemoReportCaption(DemoKind kind, const QString& customDemoName);

constexpr const char* ShippedDemoName = "rovdemo1";

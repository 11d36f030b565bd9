#pragma once

#include "LinuxFacts.h"

#include <QStringList>

// The lines of the text report, laid out as the diagnostics report of the program's original
// platform is: section titles between dashed lines, "label: value" lines with the labels
// right-aligned in a column, a missing fact written "n/a".
QStringList DiagnosticsReport(const QString& reportTime, const MachineFacts& machine,
                              const QList<DisplayAdapterFacts>& adapters,
                              const QList<SoundDeviceFacts>& sounds);

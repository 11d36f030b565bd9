#pragma once

#include <QString>
#include <QtGlobal>

// What the heap size box does when the user picks a heap size: a choice not smaller than the
// machine's memory brings the recommended maximum (half the memory) and, for the common
// memory sizes, the next smaller choice.

// Physical memory in whole MB, snapped to the common sizes (above 1500 counts as 1500).
int HeapMemorySizeMB(quint64 physicalBytes);

struct HeapAdviceResult {
    int MemorySizeMB = 0;
    bool ShowMessage = false;
    QString Message;    // "The recommended (maximum) size: N MB" when ShowMessage
    int ItemAfter = -1; // the item to be selected afterwards (the chosen one when unchanged)
};

HeapAdviceResult HeapAdvice(int selectedItem, quint64 physicalBytes);

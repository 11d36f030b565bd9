#include "sysinfo/HeapAdvice.h"

#include "model/OptionLists.h"

namespace {

// The item one step below the common memory sizes; -1 for the others.
int fallBackItem(int memoryMB) {
    switch (memoryMB) {
    case 128:
        return 0;
    case 256:
        return 1;
    case 512:
        return 2;
    case 1024:
        return 3;
    default:
        return -1;
    }
}

} // namespace

int HeapMemorySizeMB(quint64 physicalBytes) {
    const quint64 mb = physicalBytes / 1048576;
    // Machines report a little less (or more) than the size of their modules.
    if (mb > 1500)
        return 1500;
    if (mb >= 951 && mb <= 1099)
        return 1024;
    if (mb >= 471 && mb <= 549)
        return 512;
    if (mb >= 201 && mb <= 289)
        return 256;
    if (mb >= 91 && mb <= 149)
        return 128;
    return int(mb);
}

HeapAdviceResult HeapAdvice(int selectedItem, quint64 physicalBytes) {
    HeapAdviceResult result;
    result.MemorySizeMB = HeapMemorySizeMB(physicalBytes);
    result.ItemAfter = selectedItem;
    // No item chosen counts as 0 MB.
    if (HeapSizeMegabytes(selectedItem) < result.MemorySizeMB)
        return result;
    result.ShowMessage = true;
    result.Message =
        QStringLiteral("The recommended (maximum) size: %1 MB").arg(result.MemorySizeMB / 2);
    if (const int item = fallBackItem(result.MemorySizeMB); item >= 0)
        result.ItemAfter = item;
    return result;
}

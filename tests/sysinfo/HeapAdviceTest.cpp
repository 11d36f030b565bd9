#include "sysinfo/HeapAdvice.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr quint64 MB = 1048576;

TEST(HeapAdvice, MemoryIsSnappedToTheCommonSizes) {
    const std::vector<std::pair<quint64, int>> cases = {
        {64 * MB, 64},
        {90 * MB, 90},
        {91 * MB, 128},
        {149 * MB, 128},
        {150 * MB, 150},
        {201 * MB, 256},
        {289 * MB, 256},
        {470 * MB, 470},
        {471 * MB, 512},
        {549 * MB, 512},
        {768 * MB, 768},
        {950 * MB, 950},
        {951 * MB, 1024},
        {1099 * MB, 1024},
        {1100 * MB, 1100},
        {1500 * MB, 1500},
        {1501 * MB, 1500},
        {64 * 1024 * MB, 1500},
        {1022 * MB + MB - 1, 1024}, // part of a MB does not count
    };
    for (const auto& [bytes, mb] : cases)
        EXPECT_EQ(HeapMemorySizeMB(bytes), mb) << bytes;
}

struct AdviceCase {
    int memoryMB;
    int chosenItem;
    int advisedMB; // 0: no message
    int itemAfter;
};

TEST(HeapAdvice, WorkedCases) {
    const std::vector<AdviceCase> cases =
        {
            {1024, 4, 512, 3}, // 1024 MB box -> 512 MB
            {1024, 3, 0, 3},   // smaller than the memory: nothing
            {1022, 4, 512, 3}, // a machine a little short of 1 GB
            {512, 3, 256, 2},  {512, 4, 256, 2}, {256, 2, 128, 1},
            {256, 4, 128, 1},  {128, 1, 64, 0},  {128, 4, 64, 0}, // down to the default item
            {768, 4, 384, 4},                                     // no common size: the box stays
            {1280, 4, 0, 4},   {2048, 4, 0, 4},  {4096, 0, 0, 0},
            {64, 0, 32, 0},  // below 91 MB: message, box as chosen
            {64, -1, 0, -1}, // nothing selected counts as 0 MB
        };
    for (const AdviceCase& c : cases) {
        const HeapAdviceResult r = HeapAdvice(c.chosenItem, quint64(c.memoryMB) * MB);
        const QString what = QStringLiteral("%1 MB, item %2").arg(c.memoryMB).arg(c.chosenItem);
        EXPECT_EQ(r.ShowMessage, c.advisedMB != 0) << what.toStdString();
        if (c.advisedMB != 0) {
            EXPECT_EQ(r.Message,
                      QStringLiteral("The recommended (maximum) size: %1 MB").arg(c.advisedMB));
        }
        EXPECT_EQ(r.ItemAfter, c.itemAfter) << what.toStdString();
    }
}

} // namespace

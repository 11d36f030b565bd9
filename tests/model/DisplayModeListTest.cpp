#include "model/DisplayModeList.h"
#include "game/SettingsEncoding.h"
#include "model/SlotTable.h"

#include <gtest/gtest.h>

namespace {

using Sizes = std::vector<platform::ScreenSize>;

TEST(DisplayModeList, KeepsEachSizeOnceInTheOrderFirstReported) {
    // The same sizes at several depths and refresh rates come as repeated pairs.
    const DisplayModeList list(Sizes{
        {1280, 1024}, {1024, 768}, {1024, 768}, {800, 600}, {1280, 1024}, {1024, 768}, {640, 480}});
    EXPECT_EQ(list.Entries(), (QStringList{"1280 x 1024", "1024 x 768", "800 x 600", "640 x 480"}));
    EXPECT_EQ(list.Text(), QStringLiteral("1280 x 1024\r\n1024 x 768\r\n800 x 600\r\n640 x 480"));
}

TEST(DisplayModeList, ContainsIsASubstringTestOnTheJoinedText) {
    const DisplayModeList list(Sizes{{11280, 1024}, {800, 600}});
    const struct {
        const char* text;
        bool contained;
    } cases[] = {
        {"1280 x 1024", true}, // extra leading digits still count
        {"11280 x 1024", true}, {"800 x 600", true},   {"00 x 60", true},
        {" x ", true},          {"1024\r\n800", true}, {"1024\n800", false},
        {"800 X 600", false},   {"800x600", false},    {"640 x 480", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(list.Contains(QString::fromUtf8(c.text)), c.contained) << c.text;

    // Both custom values missing give " x ": every list with a size has it, an empty one not.
    const DisplayModeList empty(Sizes{});
    EXPECT_TRUE(empty.Entries().isEmpty());
    EXPECT_FALSE(empty.Contains(QStringLiteral(" x ")));
    EXPECT_FALSE(empty.Contains(QStringLiteral("640 x 480")));
}

TEST(DisplayModeList, BuildAsksTheGivenSource) {
    const DisplayModeList list = DisplayModeList::Build([] {
        return Sizes{{1920, 1080}, {1920, 1080}, {1280, 768}};
    });
    EXPECT_EQ(list.Entries(), (QStringList{"1920 x 1080", "1280 x 768"}));
}

TEST(SlotModeLookups, NameEachFixedRowsSizeAndStoredValue) {
    const auto& lookups = SlotModeLookups();
    const auto& rows = FixedSlots();
    ASSERT_EQ(rows.size(), lookups.size());
    for (int i = 0; i < SlotModeLookupCount; ++i) {
        SCOPED_TRACE(i);
        const auto& row = rows[static_cast<size_t>(i)];
        const auto& lookup = lookups[static_cast<size_t>(i)];
        EXPECT_EQ(lookup.ModeText, row.Width + QStringLiteral(" x ") + row.Height);
        EXPECT_EQ(lookup.ValueName, ResolutionValueName(i));
    }
    EXPECT_EQ(lookups[5].ModeText, QStringLiteral("2048 x 1536"));
    EXPECT_EQ(lookups[6].ValueName, QStringLiteral("hdw1"));

    // A screen without 2048 x 1536 offers every other fixed row here.
    const DisplayModeList list(Sizes{{640, 480},
                                     {800, 600},
                                     {1024, 768},
                                     {1280, 1024},
                                     {1600, 1200},
                                     {1280, 768},
                                     {1920, 1080},
                                     {1920, 1200}});
    for (int i = 0; i < SlotModeLookupCount; ++i)
        EXPECT_EQ(list.Contains(lookups[static_cast<size_t>(i)].ModeText), i != 5) << i;
}

} // namespace

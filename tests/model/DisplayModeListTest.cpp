#include "model/DisplayModeList.h"
#include "model/FixedResolutions.h"
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

TEST(FixedResolutions, EachRowsScreenModeAndStoredValue) {
    // The screen mode each fixed row looks for at start-up, and the value its tick is kept in.
    struct Row {
        const char* mode;
        const char* valueName;
    };
    const Row rows[] = {{"640 x 480", "640"},    {"800 x 600", "800"},    {"1024 x 768", "1024"},
                        {"1280 x 1024", "1280"}, {"1600 x 1200", "1600"}, {"2048 x 1536", "2048"},
                        {"1280 x 768", "hdw1"},  {"1920 x 1080", "hdw2"}, {"1920 x 1200", "hdw3"}};
    ASSERT_EQ(FixedResolutions.size(), std::size(rows));
    for (size_t i = 0; i < FixedResolutions.size(); ++i) {
        SCOPED_TRACE(i);
        const FixedResolution& resolution = FixedResolutions[i];
        EXPECT_EQ(DisplayModeText(resolution.Width, resolution.Height),
                  QLatin1String(rows[i].mode));
        EXPECT_STREQ(resolution.ValueName, rows[i].valueName);
        // The slot rows read the same table.
        EXPECT_EQ(FixedSlots()[i].Width + QStringLiteral(" x ") + FixedSlots()[i].Height,
                  QLatin1String(rows[i].mode));
    }

    // A screen without 2048 x 1536 offers every other fixed row here.
    const DisplayModeList list(Sizes{{640, 480},
                                     {800, 600},
                                     {1024, 768},
                                     {1280, 1024},
                                     {1600, 1200},
                                     {1280, 768},
                                     {1920, 1080},
                                     {1920, 1200}});
    for (size_t i = 0; i < FixedResolutions.size(); ++i)
        EXPECT_EQ(list.Contains(QLatin1String(rows[i].mode)), i != 5) << i;
}

} // namespace

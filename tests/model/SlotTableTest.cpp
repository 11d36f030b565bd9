#include "model/OptionLists.h"
#include "model/SlotTable.h"

#include <gtest/gtest.h>

namespace {

TEST(SlotTable, FixedRowsHaveTheirCaptionsAndTags) {
    struct Row {
        const char* item;
        const char* status;
        const char* tag;
        const char* report;
    };
    const Row rows[] = {
        {"640 × 480", "Resolution: 640 × 480...", "640", "Resolution: 640×480"},
        {"800 × 600", "Resolution: 800 × 600...", "800", "Resolution: 800×600"},
        {"1024 × 768", "Resolution: 1024 × 768...", "1024", "Resolution: 1024×768"},
        {"1280 × 1024", "Resolution: 1280 × 1024...", "1280", "Resolution: 1280×1024"},
        {"1600 × 1200", "Resolution: 1600 × 1200...", "1600", "Resolution: 1600×1200"},
        {"2048 × 1536", "Resolution: 2048 × 1536...", "2048", "Resolution: 2048×1536"},
        {"1280 × 768", "Resolution: 1280 × 768 (HD WideScreen)...", "hdtv1",
         "Resolution: 1280×768 (HD WideScreen)"},
        {"1920 × 1080", "Resolution: 1920 × 1080 (HD WideScreen)...", "hdtv2",
         "Resolution: 1920×1080 (HD WideScreen)"},
        {"1920 × 1200", "Resolution: 1920 × 1200 (HD WideScreen)...", "hdtv3",
         "Resolution: 1920×1200 (HD WideScreen)"},
    };
    const auto& fixed = FixedSlots();
    ASSERT_EQ(fixed.size(), 9u);
    for (size_t i = 0; i < fixed.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fixed[i].SlotIndex, static_cast<int>(i));
        EXPECT_EQ(fixed[i].ItemCaption, QString::fromUtf8(rows[i].item));
        EXPECT_EQ(fixed[i].StatusCaption, QString::fromUtf8(rows[i].status));
        EXPECT_EQ(fixed[i].SlotTag, QString::fromUtf8(rows[i].tag));
        EXPECT_EQ(fixed[i].ReportCaption, QString::fromUtf8(rows[i].report));
    }
    EXPECT_EQ(fixed[0].ItemCaption.at(4).unicode(), 0x00D7);
}

TEST(SlotTable, CustomRowCarriesItsTextsUnchanged) {
    const ResolutionSlot slot = CustomSlot(QStringLiteral("1366"), QStringLiteral("0768"));
    EXPECT_EQ(slot.SlotIndex, 9);
    EXPECT_EQ(slot.ItemCaption, QStringLiteral("Custom resolution:"));
    EXPECT_EQ(slot.StatusCaption, QString::fromUtf8("Resolution: 1366 × 0768 (Custom)..."));
    EXPECT_EQ(slot.SlotTag, QStringLiteral("custom"));
    EXPECT_EQ(slot.ReportCaption, QString::fromUtf8("Resolution: 1366 × 0768 (Custom)"));
}

TEST(SlotTable, LookUpByIndexAndTag) {
    BenchmarkSettings s;
    s.CustomWidth = QStringLiteral("10");
    s.CustomHeight = QStringLiteral("20");
    for (const ResolutionSlot& slot : SlotTable(s)) {
        EXPECT_EQ(SlotByIndex(s, slot.SlotIndex)->SlotTag, slot.SlotTag);
        EXPECT_EQ(SlotByTag(s, slot.SlotTag)->SlotIndex, slot.SlotIndex);
    }
    EXPECT_EQ(SlotByTag(s, QStringLiteral("custom"))->Width, QStringLiteral("10"));
    EXPECT_FALSE(SlotByTag(s, QStringLiteral("HDTV1")).has_value());
    EXPECT_FALSE(SlotByIndex(s, 10).has_value());
}

TEST(SlotTable, ChosenRows) {
    BenchmarkSettings s;
    s.CustomChecked = true;
    s.CustomWidth = QStringLiteral("1024");
    EXPECT_EQ(ChosenSlotCount(s), 0) << "custom row without a height is not chosen";
    s.CustomHeight = QStringLiteral("600");
    EXPECT_EQ(ChosenSlotCount(s), 1);
    s.ResolutionChecked.fill(true);
    EXPECT_EQ(ChosenSlotCount(s), 10);
    s.CustomChecked = false;
    EXPECT_EQ(ChosenSlotCount(s), 9);
    s.ResolutionChecked[4] = false;
    EXPECT_FALSE(IsSlotChosen(s, FixedSlots()[4]));
    EXPECT_TRUE(IsSlotChosen(s, FixedSlots()[5]));
}

TEST(OptionLists, CaptionsAsShown) {
    // Whole lists, so that a changed sign in any item is caught ("×" in some, "x" in others).
    const QString times = QString::fromUtf8("×");
    EXPECT_EQ(FilteringItems(), QStringList({"Bilinear", "Trilinear", "Anisotropic 2" + times,
                                             "Anisotropic 4" + times, "Anisotropic 8" + times,
                                             "Anisotropic 16" + times, "From System"}));
    EXPECT_EQ(AntialiasingItems(),
              QStringList({"None", "2" + times + " MSAA", "4" + times + " MSAA", "8x CSAA",
                           "16x CSAA", "8x MSAA", "16xQ CSAA", "From System"}));
    EXPECT_EQ(HdrItems(), QStringList({"None", "Bloom (if available)", "Full (if available)"}));
    EXPECT_EQ(HeapSizeItems(),
              QStringList({"64 MB - default", "128 MB", "256 MB", "512 MB", "1024 MB"}));
    EXPECT_EQ(RefreshItems(), QStringList({"60 Hz", "70 Hz", "75 Hz", "85 Hz"}));
    EXPECT_EQ(RunCountItems(), QStringList({"1", "2", "3", "4", "5"}));
    EXPECT_EQ(DetailItems(), QStringList({"Maximum quality"}));
    EXPECT_EQ(DemoItems(), QStringList({"Quillon demo", "Custom demo:"}));
    EXPECT_EQ(ItemCaption(HdrItems(), 1), QStringLiteral("Bloom (if available)"));
    EXPECT_EQ(ItemCaption(HdrItems(), std::nullopt), QString());
    EXPECT_EQ(ItemCaption(RefreshItems(), 4), QString());
}

TEST(OptionLists, DerivedValuesAndCaptions) {
    EXPECT_EQ(HdrLevelValue(2), 2);
    EXPECT_FALSE(HdrLevelValue(std::nullopt).has_value());
    EXPECT_EQ(ColorCorrectionValue(false), 0);
    EXPECT_EQ(ColorCorrectionValue(true), 1);
    EXPECT_EQ(FastZReportCaption(false), QStringLiteral("Disabled"));
    EXPECT_EQ(ColorCorrectionReportCaption(true), QStringLiteral("Enabled"));
    EXPECT_EQ(DetailReportCaption(0), QStringLiteral("Maximum"));
    EXPECT_EQ(HeapSizeMegabytes(4), 1024);
}

TEST(OptionLists, CustomDemoNames) {
    const char* cases[][2] = {{"/home/u/demos/run1.dem", "run1"},
                              {"/x/RUN2.DEM", "RUN2"},
                              {"/x/a.demo.dem", "a.demo"},
                              {"/x/plain", "plain"}};
    for (const auto& c : cases)
        EXPECT_EQ(CustomDemoName(QString::fromUtf8(c[0])), QString::fromUtf8(c[1])) << c[0];
    EXPECT_EQ(DemoReportCaption(DemoKind::Custom, QStringLiteral("run1")),
              QStringLiteral("Custom demo - run1"));
    EXPECT_EQ(DemoReportCaption(DemoKind::Shipped, QString()), QStringLiteral("Quillon demo"));
}

TEST(SettingsRules, ResultsFolderAndRunCount) {
    EXPECT_EQ(ResultsFolderFromChosen(QStringLiteral("/home/u/results")),
              QStringLiteral("/home/u/results/"));
    EXPECT_EQ(ResultsFolderFromChosen(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(ResultsFolderFromChosen(QStringLiteral("/a/")), QStringLiteral("/a/"));
    EXPECT_EQ(DefaultResultsFolder(QStringLiteral("/opt/varnholt/")),
              QStringLiteral("/opt/varnholt/Benchmark/"));
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(SeriesRunCount(n), n);
    EXPECT_EQ(SeriesRunCount(0), 1);
    EXPECT_EQ(SeriesRunCount(6), 1);
}

} // namespace

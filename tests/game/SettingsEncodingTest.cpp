#include "game/SettingsEncoding.h"

#include <gtest/gtest.h>

namespace {

// Every stored code of the heap and refresh boxes, both ways, and texts that only look alike.
TEST(SettingsEncoding, HeapAndRefreshCodesBothWays) {
    const char* heap[] = {"64000", "128000", "256000", "512000", "1024000"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(EncodeHeapSize(i), QLatin1String(heap[i]));
        EXPECT_EQ(DecodeHeapSize(QLatin1String(heap[i])), i);
    }
    const char* refresh[] = {"60", "70", "75", "85"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(EncodeRefresh(i), QLatin1String(refresh[i]));
        EXPECT_EQ(DecodeRefresh(QLatin1String(refresh[i])), i);
    }
    EXPECT_EQ(EncodeHeapSize(5), QString());
    EXPECT_EQ(EncodeHeapSize(-1), QString());
    EXPECT_EQ(EncodeRefresh(4), QString());
    for (const char* text : {"", "0", "064000", "64000 ", "64", "2048000"})
        EXPECT_FALSE(DecodeHeapSize(QLatin1String(text))) << text;
    for (const char* text : {"", "0", "060", "60.0", "100", "1"})
        EXPECT_FALSE(DecodeRefresh(QLatin1String(text))) << text;
}

TEST(SettingsEncoding, IndexesRunNumbersAndDemos) {
    EXPECT_EQ(DecodeIndex("6", 7), 6);
    EXPECT_FALSE(DecodeIndex("7", 7));
    EXPECT_FALSE(DecodeIndex("06", 7));
    EXPECT_FALSE(DecodeIndex("-0", 7));
    EXPECT_EQ(EncodeRunNumber(4), "5");
    EXPECT_EQ(DecodeRunNumber("5"), 4);
    EXPECT_FALSE(DecodeRunNumber("0"));
    EXPECT_FALSE(DecodeRunNumber("6"));
    EXPECT_EQ(EncodeDemo(DemoKind::Custom), "2");
    EXPECT_EQ(DecodeDemo("1"), DemoKind::Shipped);
    EXPECT_FALSE(DecodeDemo("3"));
    EXPECT_TRUE(DecodeTickedOnlyWhenOne("1"));
    EXPECT_FALSE(DecodeTickedOnlyWhenOne("2"));
    EXPECT_TRUE(DecodeSetUnlessZero("2"));
    EXPECT_FALSE(DecodeSetUnlessZero("0"));
}

} // namespace

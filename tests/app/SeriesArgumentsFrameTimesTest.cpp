#include "app/SeriesArguments.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameTimesArgument, SwitchesFrameTimesOnForTheSeries) {
    const ParsedArguments on = ParseSeriesArguments({"--run", "--frame-times"});
    ASSERT_TRUE(on.Arguments) << on.Error.toStdString();
    EXPECT_TRUE(on.Arguments->FrameTimes);
    EXPECT_FALSE(ParseSeriesArguments({"--run"}).Arguments->FrameTimes);
    EXPECT_TRUE(IsCommandLineUse({"--frame-times"}));
    EXPECT_EQ(ParseSeriesArguments({"--run", "--frame-times=1"}).Error,
              QStringLiteral("--frame-times takes no value"));
    EXPECT_TRUE(UsageText().contains("--frame-times"));
}

} // namespace

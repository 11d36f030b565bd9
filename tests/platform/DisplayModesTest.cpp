#include "model/DisplayModeList.h"
#include "platform/DisplayModes.h"

#include "support/TestSupport.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>

namespace {

using testsupport::DisplayVariable;
using testsupport::freeDisplayNumber;
using testsupport::Xvfb;

TEST(XDisplayModes, NoReachableDisplayGivesAnEmptyList) {
    const int number = freeDisplayNumber(true);
    ASSERT_GE(number, 0);
    DisplayVariable display(QStringLiteral(":%1").arg(number));
    EXPECT_TRUE(platform::ReadDisplayModes().empty());
    EXPECT_TRUE(DisplayModeList::Build().Entries().isEmpty());
}

TEST(XDisplayModes, ReadsTheModesOfARealServer) {
    Xvfb server;
    if (server.display().isEmpty())
        GTEST_SKIP() << server.problem();
    DisplayVariable display(server.display());
    EXPECT_EQ(platform::ReadDisplayModes(), (std::vector<platform::ScreenSize>{{1024, 768}}));
    const DisplayModeList list = DisplayModeList::Build();
    EXPECT_EQ(list.Entries(), QStringList{QStringLiteral("1024 x 768")});
    EXPECT_TRUE(list.Contains(QStringLiteral("1024 x 768")));
}

TEST(XDisplayModes, AServerWithoutRandrOffersItsScreenSize) {
    Xvfb server({QStringLiteral("-extension"), QStringLiteral("RANDR")});
    if (server.display().isEmpty())
        GTEST_SKIP() << server.problem();
    DisplayVariable display(server.display());
    EXPECT_EQ(platform::ReadDisplayModes(), (std::vector<platform::ScreenSize>{{1024, 768}}));
}

} // namespace

#include "WindowFixture.h"

namespace {

class FrameTimesItem : public WindowFixture {};

// The addition in the group bar switches the setting "FrameTimes" and shows its state.
TEST_F(FrameTimesItem, SwitchesTheSettingAndShowsIt) {
    open();
    window->show();
    click("RzGroup3");
    auto* item = control<QAbstractButton>("FrameTimesItem");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("Frame times: off")) << "off by default";
    EXPECT_TRUE(item->toolTip().contains("MangoHud")) << "what it needs";
    EXPECT_TRUE(item->toolTip().contains("mangohud %command%"));
    EXPECT_FALSE(storedExists("FrameTimes"));
    item->click();
    EXPECT_EQ(stored("FrameTimes"), QStringLiteral("1"));
    EXPECT_EQ(item->text(), QStringLiteral("Frame times: on"));
    item->click();
    EXPECT_EQ(stored("FrameTimes"), QStringLiteral("0"));
    EXPECT_EQ(item->text(), QStringLiteral("Frame times: off"));

    // Read at the next start as stored.
    storeValues({{QStringLiteral("FrameTimes"), QStringLiteral("1")}});
    window.reset();
    open();
    EXPECT_EQ(control<QAbstractButton>("FrameTimesItem")->text(),
              QStringLiteral("Frame times: on"));
}

} // namespace

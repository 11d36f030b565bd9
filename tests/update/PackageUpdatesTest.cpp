#include "update/PackageUpdates.h"
#include "Recorders.h"

#include <gtest/gtest.h>

namespace {

TEST(PackageUpdates, APackagedCopyOnlySaysWhereUpdatesComeFrom) {
    struct Case {
        bool packaged;
        int checks;
        QStringList messages;
    };
    for (const Case& c :
         {Case{true, 0, {QString::fromLatin1(PackageUpdatesText)}}, Case{false, 1, {}}}) {
        RecordingDialogs dialogs;
        int checks = 0;
        const auto action = UpdateCheckAction(c.packaged, dialogs, [&checks] { ++checks; });
        EXPECT_EQ(checks, 0) << "nothing happens before the button is pressed";
        action();
        EXPECT_EQ(checks, c.checks) << c.packaged;
        EXPECT_EQ(dialogs.messages, c.messages) << c.packaged;
    }
}

} // namespace

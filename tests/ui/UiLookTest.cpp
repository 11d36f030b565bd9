// The windows' face: the first of the preferred faces this machine has, as the font database
// lists them.

#include "ui/UiLook.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <gtest/gtest.h>

TEST(UiFont, IsTheFirstPreferredFaceTheMachineHas) {
    const QStringList available = QFontDatabase::families();
    QString expected;
    for (const char* face : {"DejaVu Sans", "Liberation Sans", "Noto Sans", "Arial"})
        if (expected.isEmpty() && available.contains(QLatin1String(face)))
            expected = QLatin1String(face);
    if (expected.isEmpty())
        GTEST_SKIP() << "none of the preferred faces is installed";
    for (const bool bold : {false, true}) {
        const QFont font = uilook::UiFont(12, bold);
        EXPECT_EQ(QFontInfo(font).family(), expected);
        EXPECT_EQ(font.pointSize(), 12);
        EXPECT_EQ(QFontInfo(font).bold(), bold);
    }
}

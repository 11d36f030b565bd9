// Whether the update check treats the copy as a package's: judged by the program folder the
// components were given, the one every other part of the program uses, and by nothing else
// (not the working folder, not the folder of the running executable).
#include "TestSupport.h"
#include "game/ProgramFolder.h"
#include "ui/AppComponents.h"
#include "update/PackageUpdates.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs the check; returns the text of the message it showed, if any (answered at once).
QString runCheck(const std::function<void()>& action) {
    QString shown;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    poll.start();
    action();
    return shown;
}

TEST(PackagedCopy, TheProgramFolderAloneSaysWhetherAPackageOwnsTheCopy) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString packaged = tmp.path() + QStringLiteral("/usr-lib-varnholt/");
    const QString own = tmp.path() + QStringLiteral("/home-program/");
    const QString elsewhere = tmp.path() + QStringLiteral("/working/");
    testsupport::writeFile(packaged + QLatin1String(PackageMarkerFile), "package\n");
    testsupport::writeFile(elsewhere + QLatin1String(PackageMarkerFile), "package\n");
    ASSERT_TRUE(QDir().mkpath(own));
    ASSERT_FALSE(QFileInfo::exists(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                   QLatin1String(PackageMarkerFile)));
    const QString before = QDir::currentPath();

    const struct {
        const char* name;
        QString programFolder;
        QString workingFolder;
        bool packaged;
    } cases[] = {
        {"a package's folder, started from a folder of the user's", packaged, own, true},
        {"the user's own folder, started where a marker lies", own, elsewhere, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QDir::setCurrent(c.workingFolder));
        AppComponents components(c.programFolder);
        int checks = 0;
        const QString shown = runCheck(components.UpdateCheck([&checks] { ++checks; }));
        EXPECT_EQ(checks, c.packaged ? 0 : 1);
        EXPECT_EQ(shown, c.packaged ? QLatin1String(PackageUpdatesText) : QString());
    }
    QDir::setCurrent(before);
}

} // namespace

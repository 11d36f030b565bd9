#include "game/DemoInstall.h"

#include "model/OptionLists.h"
#include "platform/Errors.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool sameFile(const QString& a, const QString& b) {
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

void copy(FileOperation& fileOp, const QString& from, const QString& to) {
    fileOp.SourceFiles.append(from);
    fileOp.Destinations.append(to);
    fileOp.Operation = FileOperation::Kind::Copy;
    // A failure has been shown to the user by the operation itself; the series goes on.
    fileOp.Run();
    fileOp.Clear();
}

} // namespace

std::optional<QString> CheckDemo(const BenchmarkSettings& settings, const GamePaths& paths) {
    if (paths.EpisodicFolder.isEmpty() || !QDir::isAbsolutePath(paths.EpisodicFolder))
        return QStringLiteral("The Half-Life 2 Episode One folder was not found, so no demo can "
                              "be installed.");
    if (settings.Demo != DemoKind::Custom)
        return std::nullopt;
    const QString& path = settings.CustomDemoPath;
    if (path.isEmpty())
        return QStringLiteral("Please choose a custom demo file.");
    const QString fileName = QFileInfo(path).fileName();
    if (!fileName.endsWith(QStringLiteral(".dem"), Qt::CaseInsensitive) ||
        CustomDemoName(path).isEmpty())
        return QStringLiteral("The custom demo must be a .dem file: %1").arg(path);
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("Custom demo not found: %1").arg(path);
    // A folder or a FIFO (which the copy would wait on for ever) cannot be played.
    if (!file.isFile())
        return QStringLiteral("Custom demo is not a regular file: %1").arg(path);
    return std::nullopt;
}

void InstallDemo(const GamePaths& paths, const BenchmarkSettings& settings, FileOperation& fileOp,
                 InstalledDemo& demo) {
    if (const auto problem = CheckDemo(settings, paths))
        throw AppError(*problem);

    const QString& episodic = paths.EpisodicFolder;
    const bool custom = settings.Demo == DemoKind::Custom;
    const QString& customPath = settings.CustomDemoPath;
    const QString name = custom ? CustomDemoName(customPath) : QString();
    // The game appends ".dem" to the name it is given, and names here are case-sensitive, so
    // the copy carries the extension in lower case.
    const QString customTarget = episodic + name + QStringLiteral(".dem");
    // A custom demo that already is the file the game will play stays where it is.
    const bool inPlace = custom && sameFile(customPath, customTarget);

    const QString shippedCopy = episodic + QLatin1String(ShippedDemoName) + QStringLiteral(".dem");
    if (QFileInfo::exists(shippedCopy) && !(inPlace && sameFile(customPath, shippedCopy)))
        platform::RemoveFile(shippedCopy);

    if (!settings.Demo)
        return;
    if (!custom) {
        demo.DemoCaption = DemoReportCaption(DemoKind::Shipped, QString());
        if (!QFileInfo::exists(shippedCopy))
            copy(fileOp,
                 paths.ProgramFolder + QStringLiteral("Demos/") + QLatin1String(ShippedDemoName) +
                     QStringLiteral(".dem"),
                 shippedCopy);
        demo.DemoName = QLatin1String(ShippedDemoName);
        return;
    }

    demo.DemoCaption = DemoReportCaption(DemoKind::Custom, name);
    if (!inPlace) {
        if (QFileInfo::exists(customTarget))
            platform::RemoveFile(customTarget);
        if (!QFileInfo::exists(customTarget))
            copy(fileOp, customPath, customTarget);
    }
    demo.DemoName = name;
}

#include "platform/FolderAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace platform {

bool FolderWritable(const QString& folder) {
    if (folder.isEmpty())
        return false;
    // A folder not made yet is as writable as the nearest folder above it that exists, where
    // it would be made.
    QString existing = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    while (!QFileInfo::exists(existing) && existing != QLatin1String("/"))
        existing = QFileInfo(existing).path();
    const QByteArray native = QFile::encodeName(existing);
    return QFileInfo(existing).isDir() && ::access(native.constData(), W_OK | X_OK) == 0;
}

} // namespace platform

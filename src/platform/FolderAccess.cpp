#include "platform/FolderAccess.h"

#include <QFile>
#include <unistd.h>

namespace platform {

bool FolderWritable(const QString& folder) {
    const QByteArray native = QFile::encodeName(folder);
    return !native.isEmpty() && ::access(native.constData(), W_OK | X_OK) == 0;
}

} // namespace platform

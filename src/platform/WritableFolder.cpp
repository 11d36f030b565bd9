#include "platform/WritableFolder.h"

#include "platform/UniqueFd.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

std::optional<QString> NewFileRefusedIn(const QString& folder) {
    QString base = folder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    base += QStringLiteral(".varnholt-check-%1-").arg(::getpid());
    // A name that exists already proves nothing: another one is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = QFile::encodeName(base + QString::number(attempt));
        UniqueFd fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           mode_t(0600)));
        if (fd.get() >= 0) {
            fd.close();
            ::unlink(name.constData());
            return std::nullopt;
        }
        if (errno != EEXIST)
            return QString::fromLocal8Bit(std::strerror(errno));
    }
    return QString::fromLocal8Bit(std::strerror(EEXIST));
}

std::optional<QString> ResultsFolderRefused(const QString& folder) {
    const std::optional<QString> refused =
        QFileInfo(folder).isDir() ? NewFileRefusedIn(folder)
                                  : std::optional<QString>(QStringLiteral("no such folder"));
    if (!refused)
        return std::nullopt;
    return QStringLiteral("The results folder \"%1\" cannot be written: %2").arg(folder, *refused);
}

} // namespace platform

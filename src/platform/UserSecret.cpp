#include "platform/UserSecret.h"

#include "platform/CheckedFile.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int SecretBytes = 16;

bool isSecret(const QByteArray& text) {
    if (text.size() != SecretBytes * 2)
        return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

// The secret in `name`; empty when there is none that is sound. `missing` tells that nothing
// is there at all.
QByteArray readSecret(const QByteArray& name, bool* missing) {
    *missing = false;
    UniqueFd fd(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        *missing = errno == ENOENT;
        return {};
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0 || st.st_size != SecretBytes * 2)
        return {};
    char buffer[SecretBytes * 2];
    qsizetype got = 0;
    while (got < qsizetype(sizeof buffer)) {
        const ssize_t n = ::read(fd.get(), buffer + got, sizeof buffer - size_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        got += n;
    }
    const QByteArray text(buffer, sizeof buffer);
    return isSecret(text) ? text : QByteArray();
}

} // namespace

QString UserSecret(const QString& file) {
    const QByteArray name = QFile::encodeName(file);
    bool missing = false;
    QByteArray secret = readSecret(name, &missing);
    if (!secret.isEmpty() || !missing)
        return QString::fromLatin1(secret);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return {};
    QByteArray random(SecretBytes, '\0');
    for (char& byte : random)
        byte = char(QRandomGenerator::system()->bounded(256));
    // Written whole under a name of this process, then given its name only when none is there:
    // two first starts at once both end up with the one that came first.
    const QString draft = file + QStringLiteral(".%1").arg(::getpid());
    if (WriteNewFile(draft, random.toHex(), 0600))
        return {};
    const bool linked = ::link(QFile::encodeName(draft).constData(), name.constData()) == 0 ||
                        errno == EEXIST; // another start made it first: theirs is read below
    QFile::remove(draft);
    if (!linked)
        return {};
    return QString::fromLatin1(readSecret(name, &missing));
}

QString UserSecretFile() {
    return QDir::homePath() + QStringLiteral("/.local/state/Quillon/instance-key");
}

} // namespace platform

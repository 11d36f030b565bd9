#include "run/ResultFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString ResultFileName = QStringLiteral("sourcebench.csv");

QStringList variants(const QString& episodicFolder) {
    QDir folder(episodicFolder.isEmpty() ? QStringLiteral(".") : episodicFolder);
    QStringList found;
    const QStringList names =
        folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names) {
        if (IsResultFileName(name))
            found << name;
    }
    return found;
}

} // namespace

bool IsResultFileName(const QString& name) {
    return name.compare(ResultFileName, Qt::CaseInsensitive) == 0;
}

QString FindResultFile(const QString& episodicFolder) {
    if (QFile::exists(episodicFolder + ResultFileName))
        return episodicFolder + ResultFileName;
    const QStringList found = variants(episodicFolder);
    return found.isEmpty() ? QString() : episodicFolder + found.first();
}

void RemoveResultFiles(const QString& episodicFolder) {
    for (const QString& name : variants(episodicFolder))
        QFile::remove(episodicFolder + name);
}

#pragma once

#include "TestSupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace testsupport {

// The data file schema of docs/.
inline QString resultSchemaPath() {
    return sourceDir() + QStringLiteral("/docs/result.schema.json");
}

// Validates JSON files against a schema with python3's jsonschema; returns the problems found,
// empty when every file conforms.
inline QString schemaProblems(const QStringList& files,
                              const QString& schema = resultSchemaPath()) {
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        return QStringLiteral("python3 is not installed");
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(
        python,
        QStringList{sourceDir() + QStringLiteral("/tests/support/validate_json.py"), schema} +
            files);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("the validator did not finish");
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return {};
    const QString output = QString::fromUtf8(process.readAll());
    return output.isEmpty() ? QStringLiteral("the validator failed") : output;
}

} // namespace testsupport

#include "platform/Errors.h"
#include "platform/Process.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

struct FailureCase {
    const char* name;
    QString commandLine;      // "%1" is the temporary folder
    QString currentDirectory; // likewise
    int expectedErrno;
    const char* expectedText;
};

class SpawnFailureTest : public ::testing::TestWithParam<FailureCase> {};

// The loader's own errno reaches the caller, with its text.
TEST_P(SpawnFailureTest, RaisesOsErrorWithErrno) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    testsupport::writeFile(dir.path() + "/plain.txt", "not a program\n");
    testsupport::writeFile(dir.path() + "/ok.sh", "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(dir.path() + "/ok.sh", QFile::ReadOwner | QFile::ExeOwner);

    const FailureCase& c = GetParam();
    SpawnRequest request;
    request.commandLine = c.commandLine.arg(dir.path());
    request.currentDirectory =
        c.currentDirectory.isEmpty() ? QString() : c.currentDirectory.arg(dir.path());
    try {
        spawnProcess(request);
        FAIL() << "no error for " << request.commandLine.toStdString();
    } catch (const OsError& e) {
        EXPECT_EQ(e.code(), c.expectedErrno);
        EXPECT_TRUE(e.message().contains(QLatin1String(c.expectedText)))
            << e.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpawnFailureTest,
    ::testing::Values(FailureCase{"MissingProgram", "%1/missing prog -x", "", ENOENT,
                                  "No such file or directory"},
                      FailureCase{"NotExecutable", "%1/plain.txt", "", EACCES, "Permission denied"},
                      FailureCase{"EmptyCommand", "   ", "", ENOENT, "No such file or directory"},
                      FailureCase{"MissingWorkingDirectory", "%1/ok.sh", "%1/no such folder",
                                  ENOENT, "No such file or directory"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

} // namespace

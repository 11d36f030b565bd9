#include "platform/CommandLine.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

struct ArgumentCase {
    const char* text;
    QStringList expected;
};

class SplitArgumentsTest : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(SplitArgumentsTest, FollowsTheRuntimeRules) {
    const ArgumentCase& c = GetParam();
    EXPECT_EQ(splitArguments(QString::fromUtf8(c.text)), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitArgumentsTest,
    ::testing::Values(
        ArgumentCase{"", {}}, ArgumentCase{"a b  c", {"a", "b", "c"}},
        ArgumentCase{"\t a\tb ", {"a", "b"}}, ArgumentCase{R"("a b" c)", {"a b", "c"}},
        ArgumentCase{R"(ab"c d"e)", {"abc de"}},
        // Backslashes are literal unless a quote follows them.
        ArgumentCase{R"(a\\b c\)", {R"(a\\b)", R"(c\)"}}, ArgumentCase{R"(a\"b)", {R"(a"b)"}},
        ArgumentCase{R"(a\\\"b)", {R"(a\"b)"}}, ArgumentCase{R"(a\\"b c")", {R"(a\b c)"}},
        ArgumentCase{R"(a\\\\"b")", {R"(a\\b)"}}, ArgumentCase{R"("" x "")", {"", "x", ""}},
        ArgumentCase{R"("a""b")", {R"(a"b)"}}, ArgumentCase{R"("a b)", {"a b"}}));

struct CommandCase {
    const char* name;
    QString applicationName;
    QString commandLine;
    QString program;
    QStringList argv;
    bool resolved;
};

class SplitCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(SplitCommandTest, FindsProgramAndArguments) {
    const QSet<QString> executables = {"/opt/my steam/steam.exe", "/opt/a",         "/opt/a b/c",
                                       "/opt/two  blanks/p",      "/usr/bin/sleep", "/bin/sleep"};
    const QStringList searchFolders = {"/usr/local/bin", "/usr/bin/", "/bin"};
    const CommandCase& c = GetParam();
    const CommandParts parts =
        splitCommand(c.applicationName, c.commandLine, searchFolders,
                     [&](const QString& path) { return executables.contains(path); });
    EXPECT_EQ(parts.program, c.program);
    EXPECT_EQ(parts.argv, c.argv);
    EXPECT_EQ(parts.resolved, c.resolved);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandTest,
    ::testing::Values(
        CommandCase{"UnquotedPathWithBlanks",
                    "",
                    R"(/opt/my steam/steam.exe -silent -applaunch 380  +x "a b")",
                    "/opt/my steam/steam.exe",
                    {"/opt/my steam/steam.exe", "-silent", "-applaunch", "380", "+x", "a b"},
                    true},
        CommandCase{
            "ShortestPrefixWins", "", "/opt/a b/c d", "/opt/a", {"/opt/a", "b/c", "d"}, true},
        CommandCase{"RunOfBlanksInPath",
                    "",
                    "/opt/two  blanks/p -v",
                    "/opt/two  blanks/p",
                    {"/opt/two  blanks/p", "-v"},
                    true},
        CommandCase{"QuotedProgramTakenWhole",
                    "",
                    R"(  "/opt/a b/c" d)",
                    "/opt/a b/c",
                    {"/opt/a b/c", "d"},
                    true},
        CommandCase{"UnclosedQuote", "", R"("/opt/a b/c)", "/opt/a b/c", {"/opt/a b/c"}, true},
        CommandCase{"TextRightAfterClosingQuote",
                    "",
                    R"("/opt/a"x y)",
                    "/opt/a",
                    {"/opt/a", "x", "y"},
                    true},
        CommandCase{"BareNameSearched", "", "sleep 5", "/usr/bin/sleep", {"sleep", "5"}, true},
        CommandCase{"NotFoundKeepsFirstToken",
                    "",
                    R"(/nope/x y "z w")",
                    "/nope/x",
                    {"/nope/x", "y", "z w"},
                    false},
        CommandCase{"BareNameNotFound", "", "nosuch -x", "nosuch", {"nosuch", "-x"}, false},
        CommandCase{"Empty", "", "  \t ", "", {}, false},
        CommandCase{"ApplicationNameNotSearched", "sleep", "", "sleep", {"sleep"}, false},
        CommandCase{"ApplicationNameTakesWholeCommandLine",
                    "/opt/a",
                    R"(first "y z")",
                    "/opt/a",
                    {"first", "y z"},
                    true},
        CommandCase{"ApplicationNameAtTheFrontStaysWhole",
                    "/opt/my steam/steam.exe",
                    R"( /opt/my steam/steam.exe -silent "y z")",
                    "/opt/my steam/steam.exe",
                    {"/opt/my steam/steam.exe", "-silent", "y z"},
                    true},
        CommandCase{"ApplicationNameAloneStaysWhole",
                    "/opt/a b/c",
                    "/opt/a b/c",
                    "/opt/a b/c",
                    {"/opt/a b/c"},
                    true},
        CommandCase{"ApplicationNameOnlyAsAPrefixOfAWord",
                    "/opt/a",
                    R"(/opt/ab "-x y")",
                    "/opt/a",
                    {"/opt/ab", "-x y"},
                    true}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

} // namespace

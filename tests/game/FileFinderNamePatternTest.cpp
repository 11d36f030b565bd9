#include "game/FileFinder.h"

#include <gtest/gtest.h>

namespace {

struct PatternCase {
    const char* pattern; // UTF-8
    const char* name;    // UTF-8
    bool matches;
};

TEST(NamePattern, WildcardsIgnoreLetterCase) {
    const PatternCase cases[] = {
        {"hl2.exe", "hl2.exe", true},
        {"hl2.exe", "HL2.EXE", true},
        {"HL2.exe", "hl2.EXE", true},
        {"hl2.exe", "hl2.ex", false},
        {"hl2.exe", "hl2.exe.bak", false},
        {"hl2.exe", "xhl2.exe", false},
        {"hl2.exe", "hl2_exe", false}, // "." is no wildcard
        {"[a].txt", "a.txt", false},   // neither are brackets
        {"[a].txt", "[A].TXT", true},
        {"*.exe", "steam.EXE", true},
        {"*.exe", ".exe", true},
        {"*.exe", "exe", false},
        {"h?2.exe", "hL2.exe", true},
        {"h?2.exe", "h2.exe", false},
        {"*a*b", "xAxxb", true},
        {"*a*b", "xaxxbx", false},
        {"a**?", "ab", true},
        {"a**?", "a", false},
        {"*.*", "noextension", true},
        {"*.*", ".hidden", true},
        {"*", "anything at all", true},
        {"*.txt", "README", false},
        // Names and patterns beyond ASCII: "?" is one character, not one byte.
        {"?", "\xC3\xA9", true},
        {"??", "\xC3\xA9", false},
        {"caf?.txt", "CAF\xC3\x89.TXT", true},
        {"\xC3\x84rger*", "\xC3\xA4rgerlich", true},
        {"\xC3\x84rger*", "argerlich", false},
        // The Kelvin sign folds to "k": an ASCII pattern may still match a non-ASCII name.
        {"k*",
         "\xE2\x84\xAA"
         "elvin",
         true},
        {"kelvin",
         "\xE2\x84\xAA"
         "elvin",
         true},
    };
    for (const PatternCase& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.name);
        const NamePattern pattern(QString::fromUtf8(c.pattern));
        EXPECT_EQ(pattern.matches(std::string_view(c.name)), c.matches);
        EXPECT_EQ(pattern.matches(QString::fromUtf8(c.name)), c.matches);
    }
}

TEST(SearchLists, TargetFoldersAreAbsoluteEndWithSlashAndMergeIgnoringCase) {
    const QString cwd = QStringLiteral("/home/u");
    const struct {
        const char* location;
        QStringList folders;
    } cases[] = {
        {"", {}},
        {" ; ;", {}},
        {"/", {"/"}},
        {"/games/steam", {"/games/steam/"}},
        {"/games/steam/", {"/games/steam/"}},
        {"steam", {"/home/u/steam/"}},
        {"./a/../b/.", {"/home/u/b/"}},
        {" /a ; /b;;/a", {"/a/", "/b/"}},
        {"/Games/Steam/;/games/steam;/GAMES/STEAM/", {"/Games/Steam/"}},
        {"/b;/a;/B/", {"/b/", "/a/"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        EXPECT_EQ(PrepareTargetFolders(QString::fromUtf8(c.location), cwd), c.folders);
    }
}

TEST(SearchLists, NamePatternsSplitLikeFoldersAndDefaultToEveryName) {
    EXPECT_EQ(PrepareNamePatterns(QString()), QStringList{QStringLiteral("*.*")});
    EXPECT_EQ(PrepareNamePatterns(QStringLiteral(" ; ")), QStringList{QStringLiteral("*.*")});
    EXPECT_EQ(PrepareNamePatterns(QStringLiteral("hl2.exe; *.cfg ;hl2.exe;HL2.EXE")),
              (QStringList{QStringLiteral("hl2.exe"), QStringLiteral("*.cfg"),
                           QStringLiteral("HL2.EXE")}));
}

} // namespace

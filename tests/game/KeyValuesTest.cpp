// Valve's text KeyValues format as Steam writes registry.vdf, libraryfolders.vdf and app
// manifests.

#include "game/KeyValues.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// Every entry as "outer/inner=value" or "outer/inner{", in file order.
QStringList describe(const KeyValues& tree) {
    QStringList lines;
    for (const KvEntry& entry : tree.entries) {
        QStringList path{entry.key};
        for (int p = entry.parent; p >= 0; p = tree.entries[static_cast<size_t>(p)].parent)
            path.prepend(tree.entries[static_cast<size_t>(p)].key);
        const QString name = path.join(QLatin1Char('/'));
        lines << (entry.block ? name + QLatin1Char('{') : name + QLatin1Char('=') + entry.value);
    }
    return lines;
}

struct ReadCase {
    const char* name;
    QByteArray text;
    QStringList entries;
};

TEST(KeyValues, ReadsTokenByToken) {
    const ReadCase cases[] = {
        {"nesting over lines",
         "\"Registry\"\n{\n\t\"HKCU\"\n\t{\n\t\t\"language\"\t\t\"english\"\n\t}\n}\n",
         {"Registry{", "Registry/HKCU{", "Registry/HKCU/language=english"}},
        {"a block on one line",
         R"("a" { "b" { "c" "1" } "d" "2" })",
         {"a{", "a/b{", "a/b/c=1", "a/d=2"}},
        {"tokens without blanks between them", R"("a""b""c"{"d""e"})", {"a=b", "c{", "c/d=e"}},
        {"unquoted tokens",
         "path C:/Games\nversion 1.2.3\nblock{x y}",
         {"path=C:/Games", "version=1.2.3", "block{", "block/x=y"}},
        {"escapes",
         R"("k" "say \"hi\" \\ n:\n t:\t")",
         {QStringLiteral("k=say \"hi\" \\ n:\n t:\t")}},
        {"an unknown escape keeps its backslash",
         R"("SourceModInstallPath" "/home/u/.local/share/Steam/steamapps\sourcemods")",
         {"SourceModInstallPath=/home/u/.local/share/Steam/steamapps\\sourcemods"}},
        {"comments, the last one without a line end",
         "// head\n\"a\" \"1\" // after a pair\n\"b\" // between\n\"2\"\n// tail",
         {"a=1", "b=2"}},
        {"a slash that starts no comment",
         R"("u" http://x/y "v" /a/b)",
         {"u=http://x/y", "v=/a/b"}},
        {"a byte-order mark", "\xEF\xBB\xBF\"a\" \"1\"", {"a=1"}},
        {"UTF-8 text", "\"name\" \"Caf\xC3\xA9\"", {QString::fromUtf8("name=Caf\xC3\xA9")}},
        {"conditions skipped",
         "\"a\" \"1\" [$WIN32]\n\"b\" [!$X360 && $OSX] { \"c\" \"2\" }",
         {"a=1", "b{", "b/c=2"}},
        {"duplicate keys all kept in order",
         R"("x" { "k" "1" "k" "2" } "x" { "k" "3" })",
         {"x{", "x/k=1", "x/k=2", "x{", "x/k=3"}},
        {"#base and #include stay pairs",
         "#base \"other.vdf\"\n#include \"more.vdf\"\n",
         {"#base=other.vdf", "#include=more.vdf"}},
        {"a string over two lines", "\"a\" \"one\ntwo\"", {"a=one\ntwo"}},
        {"empty strings", R"("" "" "e" {})", {"=", "e{"}},
        {"nothing at all", "  \r\n\t", {}},
        {"CR LF line ends", "\"a\"\r\n{\r\n\"b\" \"1\"\r\n}\r\n", {"a{", "a/b=1"}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const KvParse parsed = ParseKeyValues(c.text);
        ASSERT_FALSE(parsed.error.has_value()) << parsed.error->what.toStdString();
        EXPECT_EQ(describe(parsed.tree), c.entries);
    }
}

TEST(KeyValues, LinesOfEntriesAndLookUps) {
    const KvParse parsed = ParseKeyValues("// one\n\"Root\"\n{\n\t\"Name\" \"a\"\n\t\"name\" "
                                          "\"b\"\n\t\"sub\" { }\n\t\"sub\" \"pair\"\n}\n");
    ASSERT_FALSE(parsed.error);
    const KeyValues& kv = parsed.tree;
    const int root = kv.FindBlock(-1, "root");
    ASSERT_EQ(root, 0);
    EXPECT_EQ(kv.entries[0].line, 2);
    EXPECT_EQ(kv.Value(root, "NAME"), QStringLiteral("a")) << "the first of two, any case";
    EXPECT_EQ(kv.entries[static_cast<size_t>(kv.Find(root, "name"))].line, 4);
    EXPECT_EQ(kv.Value(root, "sub"), QStringLiteral("pair")) << "a block is no value";
    EXPECT_EQ(kv.entries[static_cast<size_t>(kv.FindBlock(root, "sub"))].line, 6);
    EXPECT_EQ(kv.Children(root).size(), 4u);
    EXPECT_EQ(kv.Value(root, "missing"), std::nullopt);
    EXPECT_EQ(kv.Find(-1, "Name"), -1) << "only the level asked for";
}

// Many blocks, nested: every look-up sees its own level only, in file order, also past the
// blocks nested in it.
TEST(KeyValues, LookUpsInALargeNestedFile) {
    QByteArray text = "\"outer\" {\n";
    for (int i = 0; i < 3000; ++i) {
        const QByteArray n = QByteArray::number(i);
        text += "\"" + n + "\" { \"apps\" { \"path\" \"in apps " + n + "\" \"x\" { } }";
        text += " \"path\" \"/lib" + n + "\" \"deep\" { \"a\" { \"b\" { \"path\" \"no\" } } } }\n";
    }
    text += "\"path\" \"outer path\" }\n\"after\" \"1\"\n";
    const KvParse parsed = ParseKeyValues(text);
    ASSERT_FALSE(parsed.error);
    const KeyValues& kv = parsed.tree;
    const int outer = kv.FindBlock(-1, "outer");
    ASSERT_EQ(outer, 0);
    EXPECT_EQ(kv.Children(-1), (std::vector<int>{0, int(kv.entries.size()) - 1}));
    EXPECT_EQ(kv.Value(-1, "after"), QStringLiteral("1"));
    EXPECT_EQ(kv.Value(outer, "path"), QStringLiteral("outer path"))
        << "not the path of a block inside it";
    const std::vector<int> libraries = kv.Children(outer);
    ASSERT_EQ(libraries.size(), 3001u);
    for (int i = 0; i < 3000; ++i) {
        const int library = libraries[size_t(i)];
        ASSERT_EQ(kv.entries[size_t(library)].key, QString::number(i));
        ASSERT_EQ(kv.Value(library, "path"), QStringLiteral("/lib%1").arg(i));
        ASSERT_EQ(kv.Children(library).size(), 3u);
        ASSERT_EQ(kv.Value(kv.FindBlock(library, "apps"), "path"),
                  QStringLiteral("in apps %1").arg(i));
    }
    EXPECT_EQ(kv.FindBlock(outer, "apps"), -1) << "only the level asked for";
}

struct DamageCase {
    const char* name;
    QByteArray text;
    int line;
    const char* what;
};

TEST(KeyValues, DamagedFilesNameTheLineAndKeepNothing) {
    const DamageCase cases[] = {
        {"unterminated string", "\"a\" \"1\"\n\"b\" \"never ends\n\n", 2, "unterminated string"},
        {"a backslash before the end", "\"a\" \"1\\", 1, "unterminated string"},
        {"missing closing brace", "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\" \"/x\"\n}\n",
         1, "block \"libraryfolders\" is not closed"},
        {"extra closing brace", "\"a\" { \"b\" \"1\" }\n}\n", 2,
         "closing brace without an opening one"},
        {"a brace where a name belongs", "\"a\" \"1\"\n{ \"b\" \"2\" }", 2,
         "opening brace where a name belongs"},
        {"a name without a value at the end", "\"a\" \"1\"\n\"b\"", 2, "\"b\" has no value"},
        {"a name without a value before a brace", "\"a\" { \"b\" }", 1, "\"b\" has no value"},
        {"unterminated condition", "\"a\" \"1\" [$WIN32\n", 1, "unterminated condition"},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.name);
        const KvParse parsed = ParseKeyValues(c.text);
        ASSERT_TRUE(parsed.error.has_value());
        EXPECT_EQ(parsed.error->line, c.line);
        EXPECT_EQ(parsed.error->what, QString::fromLatin1(c.what));
        EXPECT_TRUE(parsed.tree.entries.empty());
    }
    EXPECT_EQ(KvErrorText("/s/libraryfolders.vdf", {3, "unterminated string"}),
              "Cannot read \"/s/libraryfolders.vdf\": line 3: unterminated string.");
    EXPECT_EQ(KvErrorText("/s/x.acf", {0, "not a regular file"}),
              "Cannot read \"/s/x.acf\": not a regular file.");
}

TEST(KeyValues, DepthAndSizeHaveLimits) {
    QByteArray unclosed;
    for (int i = 0; i < 50000; ++i)
        unclosed += "\"a\" {\n";
    KvParse parsed = ParseKeyValues(unclosed);
    ASSERT_TRUE(parsed.error.has_value());
    EXPECT_EQ(parsed.error->what, "blocks nested deeper than 64");
    EXPECT_EQ(parsed.error->line, 65);

    QByteArray closed = unclosed + QByteArray(50000, '}');
    EXPECT_TRUE(ParseKeyValues(closed).error.has_value());

    QByteArray deepest;
    for (int i = 0; i < 64; ++i)
        deepest += "\"a\" {";
    deepest += "\"k\" \"v\"" + QByteArray(64, '}');
    parsed = ParseKeyValues(deepest);
    ASSERT_FALSE(parsed.error.has_value()) << "64 levels are allowed";
    EXPECT_EQ(parsed.tree.entries.back().value, "v");

    const QByteArray pair = "\"k\" \"v\"\n";
    EXPECT_FALSE(ParseKeyValues(pair.repeated(1000), {pair.size() * 1000, 64}).error);
    parsed = ParseKeyValues(pair.repeated(1001), {pair.size() * 1000, 64});
    ASSERT_TRUE(parsed.error.has_value());
    EXPECT_EQ(parsed.error->line, 0);
    EXPECT_EQ(parsed.error->what, QStringLiteral("larger than %1 bytes").arg(pair.size() * 1000));
}

} // namespace

#include "platform/RegFile.h"

#include <gtest/gtest.h>

using namespace regfile;

namespace {

const QString Root = QStringLiteral("HKEY_LOCAL_MACHINE");

QByteArray fileWith(const QByteArray& body) {
    return QByteArray("Windows Registry Editor Version 5.00\n\n") + body;
}

Key rootWithValue(const Value& v) {
    Key root{Root, {}, {}};
    createKey(root, {QStringLiteral("SOFTWARE"), QStringLiteral("Quillon")}).setValue(v);
    return root;
}

Value stringValue(const QString& name, const QString& text) {
    return Value{name, TypeSz, encodeString(text)};
}

} // namespace

// Each value must come out as the line regedit would write and read back to the same bytes.
TEST(RegFileFormat, ValuesRoundTripThroughTheirExportLines) {
    struct Case {
        const char* what;
        Value value;
        QString line;
    };
    const Case cases[] = {
        {"plain text", stringValue("640", "1"), R"("640"="1")"},
        {"empty text", stringValue("Note", ""), R"("Note"="")"},
        {"quotes and backslashes in name and text", stringValue(R"(a"b\c)", R"(C:\Games\"x"\)"),
         R"("a\"b\\c"="C:\\Games\\\"x\"\\")"},
        {"non-ASCII text, kept as UTF-8", stringValue("Note", QStringLiteral("Grüße – Ωμέγα 日本")),
         QStringLiteral("\"Note\"=\"Grüße – Ωμέγα 日本\"")},
        {"default value", stringValue("", "d"), R"(@="d")"},
        {"dword zero", Value{"n", TypeDWord, encodeDWord(0)}, R"("n"=dword:00000000)"},
        {"dword all ones", Value{"mat_picmip", TypeDWord, encodeDWord(0xffffffff)},
         R"("mat_picmip"=dword:ffffffff)"},
        {"dword with zero padding", Value{"n", TypeDWord, encodeDWord(0x12ab)},
         R"("n"=dword:000012ab)"},
        {"expand string as UTF-16LE with its zero", Value{"P", TypeExpandSz, encodeString("%A%")},
         R"("P"=hex(2):25,00,41,00,25,00,00,00)"},
        {"binary", Value{"B", TypeBinary, QByteArray::fromHex("deadbeef")},
         R"("B"=hex:de,ad,be,ef)"},
        {"empty binary", Value{"B", TypeBinary, {}}, R"("B"=hex:)"},
        {"other type kept by number",
         Value{"Q", TypeQWord, QByteArray::fromHex("0100000000000080")},
         R"("Q"=hex(b):01,00,00,00,00,00,00,80)"},
        {"text with a line break falls back to hex", stringValue("t", "a\r\nb"),
         R"("t"=hex(1):61,00,0d,00,0a,00,62,00,00,00)"},
        {"text without its zero keeps its bytes", Value{"t", TypeSz, QByteArray("a\0", 2)},
         R"("t"=hex(1):61,00)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray file = format(Root, rootWithValue(c.value));
        EXPECT_TRUE(QString::fromUtf8(file).contains(c.line + u'\n')) << file.toStdString();
        const RootResult back = readRoot(file, Root);
        ASSERT_TRUE(back.root) << back.error.toStdString();
        const Key* key = findKey(*back.root, {"SOFTWARE", "Quillon"});
        ASSERT_TRUE(key);
        ASSERT_EQ(key->values.size(), 1);
        EXPECT_EQ(key->values[0], c.value);
    }
}

TEST(RegFileFormat, ListsEveryKeyAsASectionParentsFirstSortedWithoutCase) {
    Key root{Root, {}, {}};
    createKey(root, {"SOFTWARE", "zeta"});
    createKey(root, {"SOFTWARE", "Alpha", "Inner"}).setValue(stringValue("v", "1"));
    createKey(root, {"SOFTWARE", "beta"});
    EXPECT_EQ(QString::fromUtf8(format(Root, root)),
              QStringLiteral(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE]

[HKEY_LOCAL_MACHINE\SOFTWARE\Alpha]

[HKEY_LOCAL_MACHINE\SOFTWARE\Alpha\Inner]
"v"="1"

[HKEY_LOCAL_MACHINE\SOFTWARE\beta]

[HKEY_LOCAL_MACHINE\SOFTWARE\zeta]

)"));
}

// What regedit itself writes: CR LF, comments, wrapped hex lists, upper-case digits, and the
// file in UTF-16LE with a byte-order mark.
TEST(RegFileParse, ReadsRegeditExports) {
    const QString text =
        QStringLiteral("Windows Registry Editor Version 5.00\r\n"
                       "\r\n"
                       "; exported\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
                       "\"ProductName\"=\"Windows XP\"\r\n"
                       "\"Flags\"=dword:0000ABCD\r\n"
                       "\"SystemRoot\"=hex(2):25,00,53,00,\\\r\n"
                       "  52,00,25,00,00,00\r\n"
                       "\"Blob\" = hex:01,02,\\\r\n"
                       "  03\r\n"
                       "\r\n");
    QByteArray utf16 = "\xff\xfe";
    for (QChar c : text) {
        utf16.append(char(c.unicode() & 0xff));
        utf16.append(char(c.unicode() >> 8));
    }
    for (const QByteArray& bytes : {text.toUtf8(), utf16}) {
        const RootResult r = readRoot(bytes, Root);
        ASSERT_TRUE(r.root) << r.error.toStdString() << " at line " << r.errorLine;
        const Key* key =
            findKey(*r.root, {"SOFTWARE", "Microsoft", "Windows NT", "CurrentVersion"});
        ASSERT_TRUE(key);
        ASSERT_EQ(key->values.size(), 4);
        EXPECT_EQ(decodeString(key->value("ProductName")->data), u"Windows XP");
        EXPECT_EQ(decodeDWord(key->value("Flags")->data), 0xabcdu);
        EXPECT_EQ(*key->value("SystemRoot"),
                  (Value{"SystemRoot", TypeExpandSz, encodeString("%SR%")}));
        EXPECT_EQ(key->value("Blob")->data, QByteArray::fromHex("010203"));
    }
}

// Names with escapes in many keys, as the reg tool writes them: each key keeps its own names,
// however often an escaped one repeats (the parser once kept such names in freed memory).
TEST(RegFileParse, EscapedValueNamesRepeatFromKeyToKey) {
    struct Name {
        QString name;
        QByteArray quoted; // as the file writes it
    };
    const QList<Name> names = {{R"(a"b)", R"("a\"b")"},
                               {R"(C:\Games)", R"("C:\\Games")"},
                               {R"(\)", R"("\\")"},
                               {R"(")", R"("\"")"},
                               {"plain", R"("plain")"}};
    constexpr int Keys = 40;
    QByteArray body;
    for (int k = 0; k < Keys; ++k) {
        body += "[HKEY_LOCAL_MACHINE\\K" + QByteArray::number(k) + "]\n";
        for (int n = 0; n < names.size(); ++n)
            body += names[(n + k) % names.size()].quoted + "=\"" + QByteArray::number(k) + "\"\n";
    }
    const QByteArray file = fileWith(body);
    const RootResult whole = readRoot(file, Root);
    ASSERT_TRUE(whole.root) << whole.error.toStdString();
    const IndexResult indexed = indexRoot(file, Root);
    ASSERT_TRUE(indexed.root) << indexed.error.toStdString();
    for (int k = 0; k < Keys; ++k) {
        SCOPED_TRACE(k);
        const QStringList parts = {"K" + QString::number(k)};
        const Key* key = findKey(*whole.root, parts);
        ASSERT_TRUE(key);
        ASSERT_EQ(key->values.size(), names.size());
        for (int n = 0; n < names.size(); ++n) {
            EXPECT_EQ(key->values[n].name, names[(n + k) % names.size()].name);
            EXPECT_EQ(decodeString(key->values[n].data), QString::number(k));
        }
        EXPECT_EQ(indexed.root->key(parts)->values, key->values);
    }
    // What is written reads back to the same file.
    const QByteArray written = format(Root, *whole.root);
    const RootResult again = readRoot(written, Root);
    ASSERT_TRUE(again.root) << again.error.toStdString();
    EXPECT_EQ(format(Root, *again.root), written);
    EXPECT_EQ(findKey(*again.root, {"K7"})->values, findKey(*whole.root, {"K7"})->values);
}

TEST(RegFileParse, RejectsDamagedTextNamingTheLine) {
    struct Case {
        QByteArray bytes;
        int line;
    };
    const Case cases[] = {
        {"", 1},
        {"REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n", 1},
        {fileWith("\"x\"=\"1\"\n"), 3},                               // value before any key
        {fileWith("[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"open\n"), 4},     // quote not closed
        {fileWith("[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"a\\qb\"\n"), 4},  // unknown escape
        {fileWith("[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\" tail\n"), 4}, // text after the value
        {fileWith("[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:123456789\n"), 4},
        {fileWith("[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:\n"), 4},
        {fileWith("[HKEY_LOCAL_MACHINE\\A]\n\"x\"=hex:0g\n"), 4},
        {fileWith("[HKEY_LOCAL_MACHINE\\A]\n\"x\"=hex:01,,02\n"), 4},
        {fileWith("[HKEY_LOCAL_MACHINE\\A]\n\n\"x\"=hex:01,\\\n"), 5}, // file ends mid list
        {fileWith("[HKEY_LOCAL_MACHINE\\A]\n\"x\"=str:\"1\"\n"), 4},
        {fileWith("[HKEY_LOCAL_MACHINE\\A]\nx=1\n"), 4},
        {fileWith("[HKEY_LOCAL_MACHINE\\A\n"), 3},
        {fileWith("[HKEY_LOCAL_MACHINE\\\\A]\n"), 3},
        {fileWith("[HKEY_CURRENT_USER\\A]\n"), 3}, // another root's key in this root's file
        {fileWith("[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"\xc3\x28\"\n"), 0}, // not UTF-8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.toStdString());
        const RootResult r = readRoot(c.bytes, Root);
        EXPECT_FALSE(r.root);
        EXPECT_FALSE(r.error.isEmpty());
        EXPECT_EQ(r.errorLine, c.line);
    }
}

TEST(RegFileKeys, NamesCompareWithoutCaseAndKeepTheirFirstCase) {
    const RootResult r = readRoot(fileWith("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon]\n"
                                           "\"Note\"=\"a\"\n"
                                           "[hkey_local_machine\\software\\QUILLON]\n"
                                           "\"NOTE\"=\"b\"\n"),
                                  Root);
    ASSERT_TRUE(r.root) << r.error.toStdString();
    Key root = *r.root;
    ASSERT_EQ(root.subKeys.size(), 1u);
    const Key* key = findKey(root, {"software", "quillon"});
    ASSERT_TRUE(key);
    EXPECT_EQ(key->name, u"Quillon");
    ASSERT_EQ(key->values.size(), 1);
    EXPECT_EQ(key->values[0], stringValue("Note", "b"));
    EXPECT_EQ(&createKey(root, {"SOFTWARE", "QUILLON"}), findKey(root, {"SOFTWARE", "Quillon"}));
    EXPECT_TRUE(removeKey(root, {"software"}));
    EXPECT_TRUE(root.subKeys.empty());
}

TEST(RegFileKeys, AKeyExistsWhenAKeyBelowItIsListed) {
    const RootResult r = readRoot(fileWith("[HKEY_LOCAL_MACHINE\\A\\B\\C]\n"), Root);
    ASSERT_TRUE(r.root);
    EXPECT_TRUE(findKey(*r.root, {"A"}));
    EXPECT_TRUE(findKey(*r.root, {"a", "b"}));
    EXPECT_TRUE(findKey(*r.root, {"A", "B", "C"}));
    EXPECT_FALSE(findKey(*r.root, {"A", "C"}));
}

TEST(RegFileKeys, SplitsKeyPaths) {
    struct Case {
        const char* path;
        std::optional<QStringList> parts;
    };
    const Case cases[] = {
        {R"(\SOFTWARE\Quillon)", QStringList{"SOFTWARE", "Quillon"}},
        {R"(SOFTWARE\Quillon)", QStringList{"SOFTWARE", "Quillon"}},
        {R"(SOFTWARE\Quillon\)", QStringList{"SOFTWARE", "Quillon"}},
        {"", QStringList{}},
        {R"(\)", QStringList{}},
        {R"(\\Software\Valve)", std::nullopt}, // an empty user id in front
        {R"(A\\B)", std::nullopt},
        {"A\nB", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(splitKeyPath(QString::fromUtf8(c.path)), c.parts);
    }
}

// An imported file can delete keys and values, as regedit's "[-key]" and "name"=- do.
TEST(RegFileParse, AppliesDeletionsOfAnImport) {
    Key root{Root, {}, {}};
    createKey(root, {"A", "Gone", "Deep"});
    createKey(root, {"A"}).setValue(stringValue("x", "1"));
    createKey(root, {"A"}).setValue(stringValue("y", "2"));
    const ParseResult parsed = parse(fileWith("[-HKEY_LOCAL_MACHINE\\A\\Gone]\n"
                                              "[HKEY_LOCAL_MACHINE\\A]\n"
                                              "\"X\"=-\n"
                                              "\"z\"=\"3\"\n"));
    ASSERT_TRUE(parsed.document) << parsed.error.toStdString();
    for (const Section& s : parsed.document->sections)
        applySection(s, root);
    const Key* a = findKey(root, {"A"});
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->subKeys.empty());
    EXPECT_EQ(a->values, (QList<Value>{stringValue("y", "2"), stringValue("z", "3")}));
}

// The registry's own limits: 512 levels of keys, 255 characters a key name, 16383 a value
// name. Beyond them a file is refused with the reason and its line; a path of forty thousand
// levels is refused as it stands, without a key made for each level.
TEST(RegFileParse, RefusesKeysBeyondTheRegistrysLimits) {
    const auto path = [](int depth, int nameLength) {
        QStringList parts;
        for (int i = 0; i < depth; ++i)
            parts << QString(nameLength, u'k');
        return parts.join(u'\\');
    };
    struct Case {
        const char* what;
        QByteArray body;
        QString reason; // empty: accepted
        int line = 3;
    };
    const Case cases[] = {
        {"512 levels", "[HKEY_LOCAL_MACHINE\\" + path(512, 1).toUtf8() + "]\n", ""},
        {"513 levels", "[HKEY_LOCAL_MACHINE\\" + path(513, 1).toUtf8() + "]\n", "512 levels"},
        {"40000 levels", "[HKEY_LOCAL_MACHINE\\" + path(40000, 1).toUtf8() + "]\n", "512 levels"},
        {"a name of 255", "[HKEY_LOCAL_MACHINE\\A\\" + path(1, 255).toUtf8() + "]\n", ""},
        {"a name of 256", "[HKEY_LOCAL_MACHINE\\A\\" + path(1, 256).toUtf8() + "]\n",
         "256 characters long; the registry allows 255"},
        {"a value name of 16383",
         "[HKEY_LOCAL_MACHINE\\A]\n\"" + QByteArray(16383, 'v') + "\"=\"1\"\n", ""},
        {"a value name of 16384",
         "[HKEY_LOCAL_MACHINE\\A]\n\"" + QByteArray(16384, 'v') + "\"=\"1\"\n",
         "longer than 16383 characters", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RootResult r = readRoot(fileWith(c.body), Root);
        if (c.reason.isEmpty()) {
            EXPECT_TRUE(r.root) << r.error.toStdString();
            continue;
        }
        EXPECT_FALSE(r.root);
        EXPECT_EQ(r.errorLine, c.line);
        EXPECT_TRUE(r.error.contains(c.reason)) << r.error.toStdString();
        EXPECT_LT(r.error.size(), 300) << "the path is cut in the message";
    }

    // Paths given to the store obey the same limits.
    EXPECT_TRUE(splitKeyPath(path(512, 255)));
    EXPECT_FALSE(splitKeyPath(path(513, 1)));
    EXPECT_FALSE(splitKeyPath(path(1, 256)));
    EXPECT_FALSE(splitKeyPath(path(40000, 1) + "\\"));
    EXPECT_TRUE(keyPathProblem(QString(path(513, 1)).split(u'\\')).contains("513 levels"));

    // The deepest key the limits allow goes through a rewrite whole.
    Key root{Root, {}, {}};
    createKey(root, path(512, 255).split(u'\\')).setValue(stringValue("deep", "1"));
    const QByteArray file = format(Root, root);
    const RootResult back = readRoot(file, Root);
    ASSERT_TRUE(back.root) << back.error.toStdString();
    EXPECT_EQ(*back.root, root);
}

// Comments belong to what follows them: the key whose section comes next, the value whose
// line comes next, or the end of the file. They stay there through changes of the tree and
// go only with what they belong to.
TEST(RegFileFormat, KeepsCommentsWithTheKeysAndValuesTheyStandAbove) {
    const QByteArray file = fileWith("; about the program\n"
                                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon]\n"
                                     "; the user's own note\n"
                                     "  ;   indented, kept as written\n"
                                     "\"Note\"=\"a\"\n"
                                     "; goes with Gone\n"
                                     "\"Gone\"=\"x\"\n"
                                     "\"Plain\"=dword:00000001\n"
                                     "\n"
                                     "; about Zeta\n"
                                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zeta]\n"
                                     "\n"
                                     "; the end\n");
    RootResult r = readRoot(file, Root);
    ASSERT_TRUE(r.root) << r.error.toStdString();
    Key& root = *r.root;
    Key* quillon = findKey(root, {"SOFTWARE", "Quillon"});
    ASSERT_TRUE(quillon);
    quillon->setValue(stringValue("note", "changed"));
    quillon->removeValue("Gone");
    createKey(root, {"SOFTWARE", "Beta"}).setValue(stringValue("New", "1"));

    EXPECT_EQ(QString::fromUtf8(format(Root, root)),
              QStringLiteral(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE]

[HKEY_LOCAL_MACHINE\SOFTWARE\Beta]
"New"="1"

; about the program
[HKEY_LOCAL_MACHINE\SOFTWARE\Quillon]
; the user's own note
;   indented, kept as written
"Note"="changed"
"Plain"=dword:00000001

; about Zeta
[HKEY_LOCAL_MACHINE\SOFTWARE\Zeta]

; the end
)"));
    // What was written reads back whole, comments and all.
    const RootResult again = readRoot(format(Root, root), Root);
    ASSERT_TRUE(again.root);
    EXPECT_EQ(format(Root, *again.root), format(Root, root));

    // An import takes no comments into the store.
    Key imported{Root, {}, {}};
    const ParseResult parsed = parse(file);
    ASSERT_TRUE(parsed.document);
    for (const Section& s : parsed.document->sections)
        applySection(s, imported);
    EXPECT_FALSE(format(Root, imported).contains(';'));
}

// Files from other systems: lines may end with CR alone (or a mix), which reads as any other
// line end, not as a missing header.
TEST(RegFileParse, ReadsCarriageReturnLineEnds) {
    const QByteArray lf = fileWith("[HKEY_LOCAL_MACHINE\\A]\n"
                                   "\"x\"=\"1\"\n"
                                   "\"b\"=hex:01,\\\n"
                                   "  02\n");
    QByteArray cr = lf;
    cr.replace('\n', '\r');
    QByteArray mixed = lf;
    mixed.replace("\"x\"=\"1\"\n", "\"x\"=\"1\"\r\r\n");
    for (const QByteArray& bytes : {cr, mixed}) {
        SCOPED_TRACE(bytes.toStdString());
        const RootResult r = readRoot(bytes, Root);
        ASSERT_TRUE(r.root) << r.error.toStdString() << " at line " << r.errorLine;
        EXPECT_EQ(*r.root, *readRoot(lf, Root).root);
    }
    const RootResult damaged = readRoot(fileWith("[HKEY_LOCAL_MACHINE\\A]\r\"x\"=dword:\r"), Root);
    EXPECT_EQ(damaged.errorLine, 4) << "lines are counted at every CR";
}

// A string value whose UTF-16 is broken would be changed by UTF-8: it is kept in its hex
// form, byte for byte, as are names that no file can hold refused.
TEST(RegFileFormat, KeepsBrokenTextByteForByte) {
    const QByteArray loneSurrogate = QByteArray::fromHex("4100"
                                                         "00d8"
                                                         "0000");
    const Key root = rootWithValue(Value{"t", TypeSz, loneSurrogate});
    const QByteArray file = format(Root, root);
    EXPECT_TRUE(file.contains("\"t\"=hex(1):41,00,00,d8,00,00\n")) << file.toStdString();
    EXPECT_EQ(*readRoot(file, Root).root, root);
    EXPECT_FALSE(isStorableName(QString(QChar(0xd800))));
}

// A file read only as far as its keys gives, key by key, what the whole read gives.
TEST(RegFileIndex, GivesEachKeyAsTheWholeReadDoes) {
    const QByteArray file = fileWith("[HKEY_LOCAL_MACHINE]\n"
                                     "\"atRoot\"=\"r\"\n"
                                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostrevo]\n"
                                     "; kept with the value\n"
                                     "\"Note\"=\"first\"\n"
                                     "\"Gone\"=\"x\"\n"
                                     "; above the next key\n"
                                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Valve]\n"
                                     "\"v\"=dword:00000001\n"
                                     "[hkey_local_machine\\software\\QUILLON\\ostrevo]\n"
                                     "\"NOTE\"=\"second\"\n"
                                     "\"Gone\"=-\n");
    const IndexResult indexed = indexRoot(file, Root);
    ASSERT_TRUE(indexed.root) << indexed.error.toStdString();
    const IndexedRoot& index = *indexed.root;
    EXPECT_FALSE(index.removesKeys);
    const Key whole = *readRoot(file, Root).root;
    const QList<QStringList> keys = {{},
                                     {"SOFTWARE"},
                                     {"software", "quillon"},
                                     {"SOFTWARE", "Quillon", "Ostrevo"},
                                     {"SOFTWARE", "Valve"}};
    for (const QStringList& parts : keys) {
        SCOPED_TRACE(parts.join('\\').toStdString());
        EXPECT_TRUE(index.keyExists(parts));
        const std::optional<Key> key = index.key(parts);
        ASSERT_TRUE(key);
        EXPECT_EQ(key->values, findKey(whole, parts)->values);
    }
    EXPECT_EQ(
        index.key({"SOFTWARE", "Quillon", "Ostrevo"})->values,
        (QList<Value>{Value("Note", TypeSz, encodeString(u"second"), {"; kept with the value"})}));
    EXPECT_FALSE(index.keyExists({"SOFTWARE", "Missing"}));
    EXPECT_FALSE(index.key({"Quillon"}));

    // It refuses what the whole read refuses, naming the same line.
    const QByteArray bad = fileWith("[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:xyz\n");
    EXPECT_EQ(indexRoot(bad, Root).errorLine, readRoot(bad, Root).errorLine);
    EXPECT_FALSE(indexRoot(fileWith("[HKEY_USERS\\A]\n"), Root).root);
    EXPECT_TRUE(indexRoot(fileWith("[-HKEY_LOCAL_MACHINE\\A]\n"), Root).root->removesKeys);
}

// A file within the limit is the file formatWithLayout gives; one byte over, none is given.
TEST(RegFileFormat, AFileWithinALimitOrNone) {
    Key root = rootWithValue(stringValue("Note", "text"));
    root.trailingComments = {"; the end"};
    createKey(root, {"Z"}).setValue(stringValue("Last", "x"));
    const FormattedFile whole = formatWithLayout(Root, root);
    const std::optional<FormattedFile> within = formatWithin(Root, root, whole.bytes.size());
    ASSERT_TRUE(within);
    EXPECT_EQ(within->bytes, whole.bytes);
    EXPECT_EQ(within->blockEnds, whole.blockEnds);
    // Over the limit in the trailing comments, in the last block, in the first block.
    for (const qsizetype limit :
         {whole.bytes.size() - 1, whole.blockEnds.back() - 1, qsizetype(50)})
        EXPECT_FALSE(formatWithin(Root, root, limit)) << limit;
}

// Rewriting a file from the last one written copies the blocks of unchanged keys: whatever
// changed, the result is the file a fresh write gives, or nothing when keys came or went.
TEST(RegFileFormat, ARewriteFromTheLastFileEqualsAFreshWrite) {
    Key before{Root, {}, {}};
    for (const char* name : {"Alpha", "beta", "Gamma"}) {
        Key& key = createKey(before, {"SOFTWARE", name});
        key.setValue(stringValue("a", "1"));
        key.setValue(stringValue("b", "2"));
    }
    const FormattedFile written = formatWithLayout(Root, before);
    ASSERT_EQ(written.bytes, format(Root, before));
    struct Case {
        const char* what;
        std::function<void(Key&)> change;
        bool sameKeys;
    };
    const Case cases[] = {
        {"nothing", [](Key&) {}, true},
        {"a value",
         [](Key& r) {
             findKey(r, {"SOFTWARE", "beta"})->setValue(stringValue("a", "9"));
         },
         true},
        {"a new value",
         [](Key& r) {
             findKey(r, {"SOFTWARE", "Gamma"})->setValue(stringValue("c", "3"));
         },
         true},
        {"a value gone",
         [](Key& r) {
             findKey(r, {"SOFTWARE", "Alpha"})->removeValue("a");
         },
         true},
        {"a comment",
         [](Key& r) {
             findKey(r, {"SOFTWARE", "beta"})->comments << "; new";
         },
         true},
        {"a value at the root", [](Key& r) { r.setValue(stringValue("top", "1")); }, true},
        {"comments at the end", [](Key& r) { r.trailingComments << "; end"; }, true},
        {"a new key",
         [](Key& r) {
             createKey(r, {"SOFTWARE", "Delta"});
         },
         false},
        {"a key gone",
         [](Key& r) {
             removeKey(r, {"SOFTWARE", "beta"});
         },
         false},
        {"a key renamed",
         [](Key& r) {
             findKey(r, {"SOFTWARE", "beta"})->name = "Beta2";
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Key now = before;
        c.change(now);
        const std::optional<FormattedFile> rewritten = reformat(Root, before, written, now);
        ASSERT_EQ(rewritten.has_value(), c.sameKeys);
        if (!rewritten)
            continue;
        const FormattedFile fresh = formatWithLayout(Root, now);
        EXPECT_EQ(rewritten->bytes, fresh.bytes);
        EXPECT_EQ(rewritten->blockEnds, fresh.blockEnds);
    }
}

// The blocks of unchanged keys come from the last file as they lie; a changed key's block is
// written anew. (Marks put into the last file show which is which.)
TEST(RegFileFormat, ARewriteCopiesTheBlocksOfUnchangedKeys) {
    Key before{Root, {}, {}};
    for (const char* name : {"Alpha", "beta", "Gamma"}) {
        Key& key = createKey(before, {"SOFTWARE", name});
        key.setValue(stringValue("b", "2"));
    }
    FormattedFile written = formatWithLayout(Root, before);
    ASSERT_EQ(written.bytes.count("\"b\"=\"2\""), 3);
    written.bytes.replace("\"b\"=\"2\"", "\"b\"=\"X\""); // same length: the layout holds
    Key now = before;
    findKey(now, {"SOFTWARE", "beta"})->setValue(stringValue("a", "9"));
    const std::optional<FormattedFile> rewritten = reformat(Root, before, written, now);
    ASSERT_TRUE(rewritten.has_value());
    EXPECT_EQ(rewritten->bytes.count("\"b\"=\"X\""), 2) << "Alpha and Gamma copied";
    EXPECT_EQ(rewritten->bytes.count("\"b\"=\"2\""), 1) << "beta written anew";
    EXPECT_TRUE(rewritten->bytes.contains("\"a\"=\"9\""));
}

// A section line that names no key of this root is refused with the same words and line by
// every reader: the whole read, the index and the import's parse.
TEST(RegFileParse, NamesWhatIsWrongWithASectionPath) {
    const QByteArray deep = "HKEY_LOCAL_MACHINE" + QByteArray("\\k").repeated(513);
    struct Case {
        QByteArray section;
        QString error;
        bool parseAccepts = false; // another root's key: only a store file refuses it
    };
    const Case cases[] = {
        {"[HKEY_LOCAL_MACHINE\\\\A]",
         R"('HKEY_LOCAL_MACHINE\\A' is not a key path: a key name is empty)"},
        {"[HKEY_LOCAL_MACHINE\\]",
         R"('HKEY_LOCAL_MACHINE\' is not a key path: a key name is empty)"},
        {"[-HKEY_LOCAL_MACHINE\\A\\]",
         R"('HKEY_LOCAL_MACHINE\A\' is not a key path: a key name is empty)"},
        {"[\\A]", R"('\A' is not a key path)"},
        {"[]", "'' is not a key path"},
        {"[HKEY_LOCAL_MACHINE\\A\\" + QByteArray(256, 'n') + "]",
         "'HKEY_LOCAL_MACHINE\\A\\" + QString(59, 'n') + "...' is not a key path: the key name '" +
             QString(80, 'n') + "...' is 256 characters long; the registry allows 255"},
        {"[" + deep + "]", "the key is more than 512 levels deep; the registry allows 512"},
        {"[\\" + deep + "]", "the key is more than 512 levels deep; the registry allows 512"},
        {"[HKEY_CURRENT_USER\\A]",
         R"(the key [HKEY_CURRENT_USER\A] does not belong to HKEY_LOCAL_MACHINE)", true},
        {"[HKEY_LOCAL_MACHINEX]",
         "the key [HKEY_LOCAL_MACHINEX] does not belong to "
         "HKEY_LOCAL_MACHINE",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section.left(100).toStdString());
        const QByteArray file = fileWith("; above\n" + c.section + "\n");
        const RootResult read = readRoot(file, Root);
        EXPECT_FALSE(read.root);
        EXPECT_EQ(read.error, c.error);
        EXPECT_EQ(read.errorLine, 4);
        const IndexResult indexed = indexRoot(file, Root);
        EXPECT_EQ(indexed.error, c.error);
        EXPECT_EQ(indexed.errorLine, 4);
        const ParseResult parsed = parse(file);
        EXPECT_EQ(parsed.document.has_value(), c.parseAccepts) << parsed.error.toStdString();
        if (!c.parseAccepts) {
            EXPECT_EQ(parsed.error, c.error);
            EXPECT_EQ(parsed.errorLine, 4);
        }
    }
    // A section of the root alone and of any case is the root's own.
    const RootResult atRoot = readRoot(fileWith("[hkey_local_machine]\n\"v\"=\"1\"\n"), Root);
    ASSERT_TRUE(atRoot.root) << atRoot.error.toStdString();
    EXPECT_EQ(atRoot.root->values, QList<Value>{stringValue("v", "1")});
}

// A key listed in several sections takes their values in file order, whichever way it is read:
// a name seen again (in any case) keeps its place and first case and takes the new data, a
// removed one goes, and comments gather on what they stand above. Few values and many (where
// values are found through an index) alike.
TEST(RegFileParse, RepeatedSectionsMergeTheirValuesAlike) {
    for (const int many : {3, 40}) {
        SCOPED_TRACE(many);
        QByteArray body = "; first\n[HKEY_LOCAL_MACHINE\\A]\n";
        QList<Value> expected;
        for (int i = 0; i < many; ++i) {
            body += "\"v" + QByteArray::number(i) + "\"=\"" + QByteArray::number(i) + "\"\n";
            expected.append(stringValue("v" + QString::number(i), QString::number(i)));
        }
        body += "; note\n\"Gone\"=dword:00000001\n"
                "[HKEY_LOCAL_MACHINE\\B]\n\"b\"=\"1\"\n"
                "; second\n[hkey_local_machine\\a]\n"
                "; upper\n\"V1\"=dword:00000007\n"
                "\"gone\"=-\n"
                "\"new\"=\"n\"\n"
                "\"v0\"=-\n"
                "\"V0\"=\"back\"\n";
        expected[1] = Value("v1", TypeDWord, encodeDWord(7));
        expected.removeFirst();
        expected.append(stringValue("new", "n"));
        expected.append(stringValue("V0", "back"));
        const QByteArray file = fileWith(body);

        Key imported{Root, {}, {}};
        const ParseResult parsed = parse(file);
        ASSERT_TRUE(parsed.document) << parsed.error.toStdString();
        for (const Section& s : parsed.document->sections)
            applySection(s, imported);
        EXPECT_EQ(findKey(imported, {"A"})->values, expected);
        EXPECT_EQ(findKey(imported, {"A"})->comments, QStringList());

        const RootResult read = readRoot(file, Root);
        ASSERT_TRUE(read.root) << read.error.toStdString();
        const Key* a = findKey(*read.root, {"A"});
        ASSERT_TRUE(a);
        EXPECT_EQ(a->name, "A");
        EXPECT_EQ(a->comments, (QStringList{"; first", "; second"}));
        expected[0].comments = QStringList{"; upper"};
        EXPECT_EQ(a->values, expected);
        EXPECT_EQ(indexRoot(file, Root).root->key({"a"})->values, expected);
        EXPECT_EQ(read.root->subKeys.size(), 2u);
    }
}

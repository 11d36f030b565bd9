#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// Valve's text KeyValues format, as Steam writes its own registry, its library list and its
// app manifests: nested `"name" { ... }` blocks and `"name" "value"` pairs. Pure: it opens no
// file, so "#base" and "#include" lines stay ordinary pairs.

struct KvEntry {
    QString key;
    QString value;      // a pair's value; empty for a block
    bool block = false; // a block holds the entries whose parent it is
    int parent = -1;    // index of the enclosing block; -1 at the top level
    int line = 0;       // line of the key, from 1
    int end = 0;        // one past the last entry the block holds; a pair's own index + 1
};

// A read file: every entry in file order, each block before what it holds. Kept flat, so a
// deep file is never walked or destroyed by recursion; a lookup steps over the blocks nested
// in the one it searches, so it costs what that block holds directly, not the whole file.
class KeyValues {
public:
    std::vector<KvEntry> entries;

    // Entries directly in `block` (-1: the top level), in file order; duplicates all kept.
    std::vector<int> Children(int block) const;
    // The first entry directly in `block` whose key equals `name`, letter case ignored as
    // Steam does; -1 when there is none.
    int Find(int block, const QString& name) const;
    // The first block named `name` directly in `block`; -1 when there is none.
    int FindBlock(int block, const QString& name) const;
    // The value of the first pair named `name` directly in `block`.
    std::optional<QString> Value(int block, const QString& name) const;
};

struct KvLimits {
    qsizetype maxBytes = 16 * 1024 * 1024;
    int maxDepth = 64; // blocks open at once
};

struct KvError {
    int line = 0; // 0: the file as a whole
    QString what;
};

struct KvParse {
    KeyValues tree;
    std::optional<KvError> error; // set: the file is damaged and `tree` is empty
};

// Reads the text token by token: quoted strings (with \" \\ \n \t; another backslash is kept
// as it stands, as Steam's own files hold "steamapps\sourcemods"), unquoted tokens (C:/Games,
// 1.2.3), braces, "//" comments, a UTF-8 byte-order mark, and "[$WIN32]"-style conditions,
// which are skipped.
KvParse ParseKeyValues(const QByteArray& bytes, const KvLimits& limits = {});

// `Cannot read "<file>": line <n>: <what>.` for the user.
QString KvErrorText(const QString& file, const KvError& error);

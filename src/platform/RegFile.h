#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The Windows registry export format ("Windows Registry Editor Version 5.00"): parsing and
// writing, and the key tree a file describes. No I/O here.
//
// A value is kept as the registry keeps it, a type code and raw bytes, so that a type that
// this program never writes still survives a rewrite unchanged. Strings are UTF-16LE with
// their terminating zero, as regedit stores them.
namespace regfile {

enum : quint32 {
    TypeNone = 0,
    TypeSz = 1,
    TypeExpandSz = 2,
    TypeBinary = 3,
    TypeDWord = 4,
    TypeMultiSz = 7,
    TypeQWord = 11,
};

inline constexpr char Header[] = "Windows Registry Editor Version 5.00";

struct Value {
    QString name; // empty: the key's default value, "@" in the file
    quint32 type = TypeSz;
    QByteArray data;

    friend bool operator==(const Value&, const Value&) = default;
};

// A key and everything below it. Key and value names compare without case and keep the
// case they were created with.
struct Key {
    QString name;
    QList<Value> values;
    std::vector<Key> subKeys;

    const Value* value(const QString& valueName) const;
    // Replaces the value of that name (keeping the stored name) or appends a new one.
    void setValue(const Value& v);
    bool removeValue(const QString& valueName);

    const Key* subKey(const QString& keyName) const;
    Key* subKey(const QString& keyName);

    friend bool operator==(const Key&, const Key&) = default;
};

// Strings as the registry stores them.
QByteArray encodeString(const QString& text);
// Up to the first zero character; an odd last byte is dropped.
QString decodeString(const QByteArray& data);
QByteArray encodeDWord(quint32 value);
std::optional<quint32> decodeDWord(const QByteArray& data);

// A name that a file can hold: no line breaks, no zero character.
bool isStorableName(const QString& name);

// "\A\B", "A\B" and "A\B\" name the same key; "" and "\" the root itself. Nullopt for a
// path with an empty part ("\\A", "A\\B") or an unstorable name.
std::optional<QStringList> splitKeyPath(const QString& path);

const Key* findKey(const Key& root, const QStringList& parts);
Key* findKey(Key& root, const QStringList& parts);
// Finds or creates the key and the keys above it.
Key& createKey(Key& root, const QStringList& parts);
// Removes the key with everything below it; false when missing or when parts is empty.
bool removeKey(Key& root, const QStringList& parts);

// One "[...]" section of a file as written there.
struct Entry {
    Value value;
    bool remove = false; // "name"=-
};
struct Section {
    QString path;           // as written, root name included
    bool removeKey = false; // [-path]
    QList<Entry> entries;
    int line = 0;
};
struct Document {
    QList<Section> sections;
};

struct ParseResult {
    std::optional<Document> document;
    int errorLine = 0; // 0 when the error is not tied to a line
    QString error;
};

// UTF-8 (a byte-order mark is allowed) or UTF-16LE with its byte-order mark. Accepts what
// regedit writes: CR LF or LF, ";" comments, hex lists continued with "\" on the next line.
ParseResult parse(const QByteArray& bytes);

// The first part of a section path (the root name) and the parts below it; nullopt for an
// empty part.
std::optional<std::pair<QString, QStringList>> splitSectionPath(const QString& path);
// Applies one section as an import does; parts are its path below the root.
void applySection(const Section& section, const QStringList& parts, Key& root);

struct RootResult {
    std::optional<Key> root;
    int errorLine = 0;
    QString error;
};
// A whole store file: every section must lie below rootName ("HKEY_LOCAL_MACHINE").
RootResult readRoot(const QByteArray& bytes, const QString& rootName);

// The file for a root: the header, then every key below the root as its own section (the
// root itself only when it holds values), sub-keys sorted without case, values in order.
// UTF-8, LF line ends.
QByteArray format(const QString& rootName, const Key& root);

} // namespace regfile

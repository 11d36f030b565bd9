#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <optional>
#include <vector>

// The Windows registry export format ("Windows Registry Editor Version 5.00"): parsing and
// writing, and the key tree a file describes. No I/O here.
//
// A value is kept as the registry keeps it, a type code and raw bytes, so that a type that
// this program never writes still survives a rewrite unchanged. Strings are UTF-16LE with
// their terminating zero, as regedit stores them.
//
// Comments (lines starting with ";") belong to what follows them: the key whose section comes
// next, or the value whose line comes next; those at the end of a file stay at its end. They
// move and go with what they belong to, so a rewrite keeps every comment of a kept key or
// value.
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

// The registry's own limits. Files beyond them are refused, so that no step ever works
// through an unbounded depth or size.
inline constexpr int MaxKeyDepth = 512;          // keys below the root
inline constexpr int MaxKeyNameLength = 255;     // characters of one key name
inline constexpr int MaxValueNameLength = 16383; // characters of one value name
inline constexpr qsizetype MaxFileSize = qsizetype(256) << 20;

struct Value {
    Value(QString name = {}, quint32 type = TypeSz, QByteArray data = {}, QStringList comments = {})
        : name(std::move(name)), type(type), data(std::move(data)), comments(std::move(comments)) {}

    QString name; // empty: the key's default value, "@" in the file
    quint32 type = TypeSz;
    QByteArray data;
    QStringList comments; // the ";" lines right above the value's line

    friend bool operator==(const Value&, const Value&) = default;
};

} // namespace regfile

// Its members are moved as bytes: a list of values grows without copying each one.
Q_DECLARE_TYPEINFO(regfile::Value, Q_RELOCATABLE_TYPE);

namespace regfile {

// A key and everything below it. Key and value names compare without case and keep the
// case they were created with. Trees are at most MaxKeyDepth deep (splitKeyPath and the
// parser refuse deeper paths); copying and destroying one recurses that far at most.
struct Key {
    Key(QString name = {}, QList<Value> values = {}, std::vector<Key> subKeys = {})
        : name(std::move(name)), values(std::move(values)), subKeys(std::move(subKeys)) {}

    QString name;
    QList<Value> values;
    std::vector<Key> subKeys;
    QStringList comments;         // the ";" lines right above the key's section
    QStringList trailingComments; // the root only: the ";" lines at the end of the file

    const Value* value(const QString& valueName) const;
    // Replaces the type and data of the value of that name (keeping its stored name and its
    // comments) or appends a new one.
    void setValue(const Value& v);
    bool removeValue(const QString& valueName);

    const Key* subKey(const QString& keyName) const;
    Key* subKey(const QString& keyName);

    friend bool operator==(const Key&, const Key&) = default;
};

// Names compare as the registry compares them: without case.
bool sameName(QStringView a, QStringView b);

// Strings as the registry stores them.
QByteArray encodeString(QStringView text);
inline QByteArray encodeString(const QString& text) {
    return encodeString(QStringView(text));
}
// Up to the first zero character; an odd last byte is dropped.
QString decodeString(const QByteArray& data);
QByteArray encodeDWord(quint32 value);
std::optional<quint32> decodeDWord(const QByteArray& data);

// A name that a file can hold: no line breaks, no zero character, no broken UTF-16.
bool isStorableName(const QString& name);

// Why these key names (below a root) cannot be stored: an empty or unstorable name, a name
// longer than MaxKeyNameLength, more than MaxKeyDepth of them. Empty when they can.
QString keyPathProblem(const QStringList& parts);

// The key names of "A\B" (nothing taken off either end), split once and never into more parts
// than MaxKeyDepth allows, whatever the text holds. `problem` says why they cannot be stored
// (see keyPathProblem); `tooDeep` when that is their number, found before any split.
struct KeyNames {
    QStringList parts;
    QString problem;
    bool tooDeep = false;
};
KeyNames splitKeyNames(QStringView names);

// "\A\B", "A\B" and "A\B\" name the same key; "" and "\" the root itself. Nullopt for a
// path keyPathProblem refuses ("\\A", "A\\B", too deep, a name too long).
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
    QString rootName;       // its first part
    QStringList parts;      // the keys below the root
    bool removeKey = false; // [-path]
    QList<Entry> entries;
    int line = 0;
    QStringList comments; // the ";" lines right above the section
};

} // namespace regfile

// Moved as bytes, as a Value is.
Q_DECLARE_TYPEINFO(regfile::Entry, Q_RELOCATABLE_TYPE);

namespace regfile {

struct Document {
    QList<Section> sections;
    QStringList trailingComments;
};

struct ParseResult {
    std::optional<Document> document;
    int errorLine = 0; // 0 when the error is not tied to a line
    QString error;
};

// UTF-8 (a byte-order mark is allowed) or UTF-16LE with its byte-order mark, at most
// MaxFileSize bytes. Accepts what regedit writes: CR LF, LF or CR line ends, ";" comments,
// hex lists continued with "\" on the next line.
ParseResult parse(const QByteArray& bytes);

// The first part of a section path (the root name) and the parts below it; nullopt for a
// path keyPathProblem refuses.
std::optional<std::pair<QString, QStringList>> splitSectionPath(const QString& path);

class ValueSlots;

// Applies sections to a tree as an import does, and as a store file is read. Keys are found
// through an index of the keys it has seen, and a key's values through a table, so that a file
// of many keys and values is applied in linear time.
class TreeBuilder {
public:
    explicit TreeBuilder(Key& root);
    ~TreeBuilder();
    TreeBuilder(const TreeBuilder&) = delete;
    TreeBuilder& operator=(const TreeBuilder&) = delete;

    // The section at its parts below the root. With keepComments the section's and its values'
    // comments go with them into the tree. A value of a name the key holds already takes the
    // new type and data; "name"=- removes one, "[-path]" the key.
    void apply(Section section, bool keepComments);
    Key& create(const QStringList& parts);

private:
    struct Node {
        qsizetype position = 0; // in the parent's subKeys
        int id = 0;
    };
    void indexChildren(const Key& key, int id);

    Key& root_;
    int nextId_ = 1; // the root is 0
    // A key by its parent and its case-folded name; a parent's children are all in it once
    // the parent is in indexed_.
    QHash<std::pair<int, QString>, Node> index_;
    QSet<int> indexed_;
    std::unique_ptr<ValueSlots> slots_;
};

// Applies one section as an import does (comments are not taken).
void applySection(const Section& section, Key& root);

struct RootResult {
    std::optional<Key> root;
    int errorLine = 0;
    QString error;
};
// A whole store file: every section must lie below rootName ("HKEY_LOCAL_MACHINE"). Its
// comments are kept in the tree.
RootResult readRoot(const QByteArray& bytes, const QString& rootName);

// A store file read only as far as its keys, for a store that is read far more often than
// it is written: the whole file is checked as readRoot checks it, but a key's values are made
// only when that key is asked for.
struct IndexedRoot {
    struct Span {
        QStringList parts;      // the section's path below the root
        bool removeKey = false; // [-path]
        qsizetype begin = 0;    // the section in `text`, its key line included
        qsizetype end = 0;
    };
    QString rootName;
    QByteArray text; // the file as UTF-8
    std::vector<Span> sections;
    // A "[-key]" section: which keys exist is then known only from a whole read (readRoot).
    bool removesKeys = false;
    QSet<QString> keys;                       // case-folded paths of every key made
    QHash<QString, std::vector<int>> spansOf; // case-folded path -> its sections, in order

    // Valid only without removals.
    bool keyExists(const QStringList& parts) const;
    // The key with its values as readRoot would make them (its sub-keys and its own comments
    // left out); nullopt when it does not exist. Valid only without removals.
    std::optional<Key> key(const QStringList& parts) const;
};
struct IndexResult {
    std::optional<IndexedRoot> root;
    int errorLine = 0;
    QString error;
};
IndexResult indexRoot(const QByteArray& bytes, const QString& rootName);

// The file for a root: the header, then every key below the root as its own section (the
// root itself only when it holds values or comments), sub-keys sorted without case, values in
// order, each with its comments above it. UTF-8, LF line ends.
QByteArray format(const QString& rootName, const Key& root);

// The file as format() writes it, and where each key's block ends in it, in writing order.
struct FormattedFile {
    QByteArray bytes;
    std::vector<qsizetype> blockEnds;
};
FormattedFile formatWithLayout(const QString& rootName, const Key& root);
// The same for a file that may be at most maxSize bytes long: nullopt for a larger one, given
// up as soon as the file grows past it, so that a tree whose file would be far too large is
// never written out whole.
std::optional<FormattedFile> formatWithin(const QString& rootName, const Key& root,
                                          qsizetype maxSize);
// The file for `now`, made from `written` (the file formatWithLayout made for `before`): the
// blocks of keys whose values and comments did not change are copied as they are, so that a
// change of one value costs little more than copying the file. Gives exactly what
// formatWithLayout(now) gives; nullopt when the two trees do not hold the same keys (one was
// added, removed or renamed), which needs a fresh formatWithLayout.
std::optional<FormattedFile> reformat(const QString& rootName, const Key& before,
                                      const FormattedFile& written, const Key& now);

} // namespace regfile

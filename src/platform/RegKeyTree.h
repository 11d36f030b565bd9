#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <vector>

// The key tree a registry file describes, and the names and values in it, as the registry
// keeps them. No I/O here.
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

// The registry's own limits. Paths and names beyond them are refused, so that no step ever
// works through an unbounded depth.
inline constexpr int MaxKeyDepth = 512;          // keys below the root
inline constexpr int MaxKeyNameLength = 255;     // characters of one key name
inline constexpr int MaxValueNameLength = 16383; // characters of one value name

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

// A name or path as messages show it: a long one is cut, as a path can be many thousand
// characters.
QString shownName(QStringView text);

} // namespace regfile

#pragma once

#include "platform/RegFileFormat.h"
#include "platform/RegKeyTree.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// Parsing a registry export file into its sections, as written there. No I/O here.
//
// Comments (lines starting with ";") belong to what follows them: the key whose section comes
// next, or the value whose line comes next; those at the end of a file stay at its end.
namespace regfile {

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

// What the parser reads, handed on as it goes, for readers that build something else than a
// Document (RegTreeBuilder.h, RegFileIndex.h).

// A fault of the line being read. A sink may throw it from section() or entry(): the parse
// then stops with that message at that line.
struct LineError {
    QString message;
};

// Where the parser hands what it read: a section when its line is read, then its entries.
class ParseSink {
public:
    virtual ~ParseSink() = default;
    // `offset`: where the section's line begins in the file's UTF-8 text.
    virtual void section(Section&& section, qsizetype offset) = 0;
    virtual void entry(Entry&& entry) = 0;
    // False when only the sections are wanted: value lines are then checked, not made.
    virtual bool wantsValues() const { return true; }
};

struct ParseOutcome {
    int errorLine = 0;
    QString error; // empty: parsed whole
    QStringList trailingComments;
    QByteArray text; // the file as UTF-8, which section offsets refer to
};

// As parse(), handing each section and entry to `sink`.
ParseOutcome parseInto(const QByteArray& bytes, ParseSink& sink);

// For sinks that read a store file: a section must lie below the file's own root; throws
// LineError otherwise.
void requireRoot(const Section& section, const QString& rootName);

} // namespace regfile

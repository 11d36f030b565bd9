#pragma once

#include "platform/RegFileParser.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

// Building a key tree from what the parser read: an import's sections applied to a tree, and
// a whole store file read into one.
namespace regfile {

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

} // namespace regfile

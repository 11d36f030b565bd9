#pragma once

#include "platform/RegKeyTree.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace regfile {

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

} // namespace regfile

#pragma once

#include "platform/RegFileFormat.h"
#include "platform/RegKeyTree.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// Writing a key tree as a registry export file. No I/O here. Each comment is written above
// the key or value it belongs to, so a rewrite keeps every comment of a kept key or value.
namespace regfile {

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

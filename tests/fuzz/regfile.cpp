// A registry store file: parsed, taken as a root, indexed, written again and rewritten.
#include "platform/RegFile.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace {

void check(bool holds) {
    if (!holds)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString rootName = QStringLiteral("HKEY_LOCAL_MACHINE");
    const regfile::RootResult read = regfile::readRoot(bytes, rootName);
    const regfile::IndexResult indexed = regfile::indexRoot(bytes, rootName);
    // The index takes exactly what the whole read takes, and refuses at the same line.
    check(read.root.has_value() == indexed.root.has_value());
    if (!read.root) {
        check(!read.error.isEmpty());
        check(read.errorLine == indexed.errorLine);
        return 0;
    }
    const regfile::Key& root = *read.root;

    // Every key as the index gives it holds the values of the whole read.
    if (!indexed.root->removesKeys) {
        std::vector<std::pair<const regfile::Key*, QStringList>> pending{{&root, {}}};
        while (!pending.empty()) {
            const auto [key, parts] = pending.back();
            pending.pop_back();
            check(indexed.root->keyExists(parts));
            const std::optional<regfile::Key> fromIndex = indexed.root->key(parts);
            check(fromIndex && fromIndex->values == key->values);
            for (const regfile::Key& sub : key->subKeys)
                pending.emplace_back(&sub, parts + QStringList{sub.name});
        }
    }

    // An import of the same file makes the same tree without its comments: the store's read
    // and the import merge through one builder. Each section was split as splitSectionPath
    // splits its path.
    const regfile::ParseResult parsed = regfile::parse(bytes);
    check(parsed.document.has_value());
    regfile::Key imported(rootName);
    regfile::TreeBuilder builder(imported);
    for (const regfile::Section& section : parsed.document->sections) {
        const auto split = regfile::splitSectionPath(section.path);
        check(split && split->first == section.rootName && split->second == section.parts);
        builder.apply(section, false);
    }
    regfile::Key bare = root;
    bare.trailingComments.clear();
    std::vector<regfile::Key*> uncommented{&bare};
    while (!uncommented.empty()) {
        regfile::Key* key = uncommented.back();
        uncommented.pop_back();
        key->comments.clear();
        for (regfile::Value& v : key->values)
            v.comments.clear();
        for (regfile::Key& sub : key->subKeys)
            uncommented.push_back(&sub);
    }
    check(imported == bare);

    // What the store writes reads back, and writing that again gives the same bytes: a store
    // file never turns into one the next reader refuses or reads differently.
    const regfile::FormattedFile written = regfile::formatWithLayout(rootName, root);
    check(written.bytes == regfile::format(rootName, root));
    // Within a limit it is the same file, one byte under its size it is none.
    const std::optional<regfile::FormattedFile> within =
        regfile::formatWithin(rootName, root, written.bytes.size());
    check(within && within->bytes == written.bytes && within->blockEnds == written.blockEnds);
    check(!regfile::formatWithin(rootName, root, written.bytes.size() - 1));
    const regfile::RootResult again = regfile::readRoot(written.bytes, rootName);
    check(again.root.has_value());
    check(regfile::format(rootName, *again.root) == written.bytes);

    // A value changed in the deepest first key: the rewrite from the last file is a fresh write.
    regfile::Key changed = root;
    regfile::Key* key = &changed;
    while (!key->subKeys.empty())
        key = &key->subKeys.front();
    key->setValue(regfile::Value(QStringLiteral("fuzz"), regfile::TypeDWord,
                                 regfile::encodeDWord(quint32(size))));
    const std::optional<regfile::FormattedFile> rewritten =
        regfile::reformat(rootName, root, written, changed);
    check(rewritten.has_value());
    check(rewritten->bytes == regfile::format(rootName, changed));
    return 0;
}

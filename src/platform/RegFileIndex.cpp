#include "platform/RegFileIndex.h"

#include "platform/RegTreeBuilder.h"

namespace regfile {

namespace {

QString foldedPath(const QStringList& parts) {
    return parts.join(u'\\').toCaseFolded();
}

} // namespace

IndexResult indexRoot(const QByteArray& bytes, const QString& rootName) {
    class IndexSink : public ParseSink {
    public:
        explicit IndexSink(IndexedRoot& index) : index_(index) {}
        void section(Section&& section, qsizetype offset) override {
            requireRoot(section, index_.rootName);
            if (!index_.sections.empty())
                index_.sections.back().end = offset;
            index_.sections.push_back({std::move(section.parts), section.removeKey, offset, -1});
            index_.removesKeys = index_.removesKeys || section.removeKey;
        }
        void entry(Entry&&) override {}
        bool wantsValues() const override { return false; }

    private:
        IndexedRoot& index_;
    };

    IndexResult result;
    IndexedRoot index;
    index.rootName = rootName;
    IndexSink sink(index);
    ParseOutcome outcome = parseInto(bytes, sink);
    if (!outcome.error.isEmpty()) {
        result.errorLine = outcome.errorLine;
        result.error = outcome.error;
        return result;
    }
    index.text = std::move(outcome.text);
    if (!index.sections.empty())
        index.sections.back().end = index.text.size();
    for (size_t i = 0; i < index.sections.size(); ++i) {
        const IndexedRoot::Span& span = index.sections[i];
        if (span.removeKey)
            continue;
        const QString path = foldedPath(span.parts);
        index.spansOf[path].push_back(int(i));
        // The key and every key above it exist.
        for (qsizetype n = span.parts.size(); n > 0; --n) {
            const QString above = foldedPath(span.parts.first(n));
            if (index.keys.contains(above))
                break;
            index.keys.insert(above);
        }
    }
    result.root = std::move(index);
    return result;
}

bool IndexedRoot::keyExists(const QStringList& parts) const {
    return parts.isEmpty() || keys.contains(foldedPath(parts));
}

std::optional<Key> IndexedRoot::key(const QStringList& parts) const {
    if (!keyExists(parts))
        return std::nullopt;
    const auto spans = spansOf.constFind(foldedPath(parts));
    if (spans == spansOf.constEnd()) // only keys below it are listed: no values of its own
        return Key(parts.isEmpty() ? rootName : parts.back());
    // Its sections alone, read as a file of their own.
    QByteArray file = QByteArray(Header) + '\n';
    for (int i : *spans) {
        const Span& span = sections[size_t(i)];
        file += QByteArrayView(text).sliced(span.begin, span.end - span.begin);
        file += '\n';
    }
    RootResult read = readRoot(file, rootName);
    if (!read.root)
        return std::nullopt; // cannot happen: the file was checked whole
    Key* found = findKey(*read.root, parts);
    if (!found)
        return std::nullopt;
    // The comments above a section are read with the section before it: none are given.
    found->subKeys.clear();
    found->comments.clear();
    return std::move(*found);
}

} // namespace regfile

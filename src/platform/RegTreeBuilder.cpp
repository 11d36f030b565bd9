#include "platform/RegTreeBuilder.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace regfile {

namespace {

// A hash that agrees with sameName: equal without case gives equal hashes. Surrogates are
// left out, as case folding keeps a character in its plane.
struct FoldedHash {
    size_t operator()(QStringView s) const {
        size_t h = 1469598103934665603ull;
        for (QChar c : s) {
            char16_t u = c.unicode();
            if (QChar::isSurrogate(u))
                continue;
            if (u < 0x80)
                u = (u >= u'A' && u <= u'Z') ? char16_t(u + 32) : u;
            else
                u = char16_t(QChar::toCaseFolded(char32_t(u)));
            h = (h ^ u) * 1099511628211ull;
        }
        return h;
    }
};

} // namespace

// The values of one key by name while a file is read into it: an open-addressing table of
// positions, reused from key to key, so that a file of many values needs no allocation per
// value.
class ValueSlots {
public:
    void reset(const Key& key) {
        count_ = 0;
        const size_t wanted = std::max<size_t>(64, size_t(key.values.size()) * 4);
        if (slots_.size() < wanted)
            slots_.assign(std::bit_ceil(wanted), -1);
        else
            std::fill(slots_.begin(), slots_.end(), -1);
        for (qsizetype i = 0; i < key.values.size(); ++i)
            insert(key, i);
    }
    std::optional<qsizetype> find(const Key& key, QStringView name) const {
        for (size_t at = FoldedHash()(name) & mask();; at = (at + 1) & mask()) {
            const qsizetype i = slots_[at];
            if (i < 0)
                return std::nullopt;
            if (sameName(key.values[i].name, name))
                return i;
        }
    }
    void insert(const Key& key, qsizetype position) {
        if ((count_ + 1) * 2 > slots_.size()) {
            slots_.assign(slots_.size() * 2, -1);
            count_ = 0;
            for (qsizetype i = 0; i < key.values.size(); ++i) {
                if (i != position)
                    place(key, i);
            }
        }
        place(key, position);
    }

private:
    size_t mask() const { return slots_.size() - 1; }
    void place(const Key& key, qsizetype position) {
        size_t at = FoldedHash()(key.values[position].name) & mask();
        while (slots_[at] >= 0)
            at = (at + 1) & mask();
        slots_[at] = position;
        ++count_;
    }

    std::vector<qsizetype> slots_;
    size_t count_ = 0;
};

TreeBuilder::TreeBuilder(Key& root) : root_(root), slots_(std::make_unique<ValueSlots>()) {}

TreeBuilder::~TreeBuilder() = default;

void TreeBuilder::indexChildren(const Key& key, int id) {
    for (qsizetype i = 0; i < qsizetype(key.subKeys.size()); ++i)
        index_.insert({id, key.subKeys[size_t(i)].name.toCaseFolded()}, Node{i, nextId_++});
    indexed_.insert(id);
}

Key& TreeBuilder::create(const QStringList& parts) {
    Key* key = &root_;
    int id = 0;
    for (const QString& part : parts) {
        const std::pair<int, QString> name{id, part.toCaseFolded()};
        auto it = index_.constFind(name);
        if (it == index_.constEnd() && !indexed_.contains(id)) {
            indexChildren(*key, id);
            it = index_.constFind(name);
        }
        Node node;
        if (it == index_.constEnd()) {
            key->subKeys.emplace_back(part);
            node = Node{qsizetype(key->subKeys.size()) - 1, nextId_++};
            index_.insert(name, node);
            indexed_.insert(node.id); // a new key has no children to find
        } else {
            node = *it;
        }
        key = &key->subKeys[size_t(node.position)];
        id = node.id;
    }
    return *key;
}

void TreeBuilder::apply(Section section, bool keepComments) {
    if (section.removeKey) {
        if (removeKey(root_, section.parts)) {
            // Positions after the removed key have shifted: start the index afresh.
            index_.clear();
            indexed_.clear();
        }
        return;
    }
    Key& key = create(section.parts);
    if (keepComments)
        key.comments += section.comments;
    if (section.entries.isEmpty())
        return;
    // The list of values grows once for the section rather than value by value.
    key.values.reserve(key.values.size() + section.entries.size());
    slots_->reset(key);
    for (Entry& entry : section.entries) {
        Value& v = entry.value;
        if (entry.remove) {
            if (key.removeValue(v.name))
                slots_->reset(key);
            continue;
        }
        if (const auto at = slots_->find(key, v.name)) {
            Value& existing = key.values[*at];
            existing.type = v.type;
            existing.data = std::move(v.data);
            if (keepComments)
                existing.comments += v.comments;
            continue;
        }
        if (!keepComments)
            v.comments.clear();
        key.values.append(std::move(v));
        slots_->insert(key, key.values.size() - 1);
    }
}

void applySection(const Section& section, Key& root) {
    TreeBuilder(root).apply(section, false);
}

namespace {

// Reads a store file straight into its tree, comments and all: each section whole, its values
// gathered first, goes through the one builder.
class TreeSink : public ParseSink {
public:
    TreeSink(Key& root, const QString& rootName) : builder_(root), rootName_(rootName) {}

    void section(Section&& section, qsizetype) override {
        flush();
        requireRoot(section, rootName_);
        pending_ = std::move(section);
        // Keys of one file tend to hold alike numbers of values: room for as many as the last
        // one held saves growing the list value by value.
        pending_->entries.reserve(lastEntries_);
    }
    void entry(Entry&& entry) override { pending_->entries.append(std::move(entry)); }

    void flush() {
        if (pending_) {
            lastEntries_ = pending_->entries.size();
            builder_.apply(std::move(*pending_), true);
            pending_.reset();
        }
    }

private:
    TreeBuilder builder_;
    QString rootName_;
    std::optional<Section> pending_;
    qsizetype lastEntries_ = 0;
};

} // namespace

RootResult readRoot(const QByteArray& bytes, const QString& rootName) {
    RootResult result;
    Key root(rootName);
    TreeSink sink(root, rootName);
    ParseOutcome outcome = parseInto(bytes, sink);
    if (!outcome.error.isEmpty()) {
        result.errorLine = outcome.errorLine;
        result.error = outcome.error;
        return result;
    }
    sink.flush();
    root.trailingComments = std::move(outcome.trailingComments);
    result.root = std::move(root);
    return result;
}

} // namespace regfile

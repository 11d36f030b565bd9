#include "platform/RegFile.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>
#include <algorithm>
#include <unordered_map>

namespace regfile {

namespace {

bool isHexDigits(QStringView s) {
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
}

QStringView trimmedRight(QStringView s) {
    while (!s.isEmpty() && (s.back() == u' ' || s.back() == u'\t' || s.back() == u'\r'))
        s.chop(1);
    return s;
}

QStringView trimmedLeft(QStringView s) {
    qsizetype i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t'))
        ++i;
    return s.sliced(i);
}

// A name shown in a message: long ones are cut, as a path can be many thousand characters.
QString shown(QStringView text) {
    constexpr qsizetype Shown = 80;
    return text.size() <= Shown ? text.toString()
                                : text.left(Shown).toString() + QStringLiteral("...");
}

struct LineError {
    QString message;
};

// The lines of a text, ended by CR LF, LF or a lone CR; like QString::split, a text ending in
// a line end has an empty last line.
class LineReader {
public:
    explicit LineReader(QStringView text) : text_(text) {}

    bool next(QStringView& line) {
        if (done_)
            return false;
        ++number_;
        const qsizetype start = pos_;
        qsizetype i = start;
        const qsizetype n = text_.size();
        while (i < n && text_[i] != u'\n' && text_[i] != u'\r')
            ++i;
        line = text_.sliced(start, i - start);
        if (i >= n) {
            done_ = true;
            pos_ = n;
        } else {
            pos_ = i + 1;
            if (text_[i] == u'\r' && pos_ < n && text_[pos_] == u'\n')
                ++pos_;
        }
        return true;
    }
    int number() const { return number_; }

private:
    QStringView text_;
    qsizetype pos_ = 0;
    int number_ = 0;
    bool done_ = false;
};

// Reads a quoted text starting at s[pos] == '"'; only \\ and \" are escapes, as regedit
// writes them. Leaves pos after the closing quote.
QString readQuoted(QStringView s, qsizetype& pos) {
    const qsizetype start = pos + 1;
    qsizetype i = start;
    while (i < s.size() && s[i] != u'"' && s[i] != u'\\')
        ++i;
    if (i < s.size() && s[i] == u'"') {
        pos = i + 1;
        return s.sliced(start, i - start).toString();
    }
    QString out = s.sliced(start, i - start).toString();
    for (pos = i; pos < s.size(); ++pos) {
        const QChar c = s[pos];
        if (c == u'"') {
            ++pos;
            return out;
        }
        if (c == u'\\') {
            if (pos + 1 >= s.size() || (s[pos + 1] != u'\\' && s[pos + 1] != u'"'))
                throw LineError{QStringLiteral("a backslash in a quoted text must be followed by "
                                               "\\ or \"")};
            ++pos;
            out += s[pos];
            continue;
        }
        out += c;
    }
    throw LineError{QStringLiteral("a quoted text is not closed")};
}

QByteArray parseHexList(QStringView list) {
    QByteArray bytes;
    list = trimmedLeft(trimmedRight(list));
    if (list.isEmpty())
        return bytes;
    bytes.reserve(list.size() / 3 + 1);
    for (QStringView token : list.split(u',')) {
        token = trimmedLeft(trimmedRight(token));
        if (token.size() > 2 || !isHexDigits(token))
            throw LineError{QStringLiteral("'%1' is not a hexadecimal byte").arg(shown(token))};
        bytes.append(char(token.toUInt(nullptr, 16)));
    }
    return bytes;
}

std::optional<QString> decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xff\xfe")) {
        if (bytes.size() % 2 != 0)
            return std::nullopt;
        QStringDecoder decoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
        QString text = decoder(QByteArrayView(bytes).sliced(2));
        if (decoder.hasError())
            return std::nullopt;
        return text;
    }
    const QByteArrayView body =
        bytes.startsWith("\xef\xbb\xbf") ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes);
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder(body);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// One value line; a continued hex list takes the lines after it from `lines`.
Entry parseValue(QStringView line, LineReader& lines) {
    Entry entry;
    qsizetype pos = 0;
    if (line.startsWith(u'@')) {
        pos = 1;
    } else if (line.startsWith(u'"')) {
        entry.value.name = readQuoted(line, pos);
        if (entry.value.name.size() > MaxValueNameLength)
            throw LineError{QStringLiteral("a value name is longer than %1 characters")
                                .arg(MaxValueNameLength)};
    } else {
        throw LineError{QStringLiteral("expected a key in [] or a value line")};
    }
    QStringView rest = trimmedLeft(line.sliced(pos));
    if (!rest.startsWith(u'='))
        throw LineError{QStringLiteral("expected '=' after the value name")};
    rest = trimmedLeft(rest.sliced(1));

    if (rest == u"-") {
        entry.remove = true;
        return entry;
    }
    if (rest.startsWith(u'"')) {
        qsizetype at = 0;
        const QString text = readQuoted(rest, at);
        if (at != rest.size())
            throw LineError{QStringLiteral("unexpected text after the quoted value")};
        entry.value.type = TypeSz;
        entry.value.data = encodeString(text);
        return entry;
    }
    if (rest.startsWith(u"dword:", Qt::CaseInsensitive)) {
        const QStringView digits = rest.sliced(6);
        if (digits.size() > 8 || !isHexDigits(digits))
            throw LineError{QStringLiteral("a dword needs one to eight hexadecimal digits")};
        entry.value.type = TypeDWord;
        entry.value.data = encodeDWord(digits.toUInt(nullptr, 16));
        return entry;
    }
    if (rest.startsWith(u"hex", Qt::CaseInsensitive)) {
        QStringView afterHex = rest.sliced(3);
        quint32 type = TypeBinary;
        if (afterHex.startsWith(u'(')) {
            const qsizetype close = afterHex.indexOf(u')');
            const QStringView code = close < 0 ? QStringView() : afterHex.sliced(1, close - 1);
            if (code.size() > 8 || !isHexDigits(code))
                throw LineError{QStringLiteral("hex(...) needs a hexadecimal type code")};
            type = code.toUInt(nullptr, 16);
            afterHex = afterHex.sliced(close + 1);
        }
        if (!afterHex.startsWith(u':'))
            throw LineError{QStringLiteral("expected ':' after hex")};
        QStringView list = afterHex.sliced(1);
        if (list.endsWith(u'\\')) {
            QString joined;
            QStringView next = list;
            while (next.endsWith(u'\\')) {
                joined += next.chopped(1);
                if (!lines.next(next))
                    throw LineError{QStringLiteral("the file ends inside a continued hex list")};
                next = trimmedLeft(trimmedRight(next));
            }
            joined += next;
            entry.value.data = parseHexList(joined);
        } else {
            entry.value.data = parseHexList(list);
        }
        entry.value.type = type;
        return entry;
    }
    throw LineError{QStringLiteral("unknown kind of value data")};
}

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
struct FoldedEqual {
    bool operator()(QStringView a, QStringView b) const { return sameName(a, b); }
};

// The values of one key by name, for keys with many values.
class ValueIndex {
public:
    explicit ValueIndex(const Key& key) { rebuild(key); }
    void rebuild(const Key& key) {
        positions_.clear();
        for (qsizetype i = 0; i < key.values.size(); ++i)
            positions_.emplace(QStringView(key.values[i].name), i);
    }
    std::optional<qsizetype> find(QStringView name) const {
        const auto it = positions_.find(name);
        return it == positions_.end() ? std::nullopt : std::optional<qsizetype>(it->second);
    }
    void add(const Key& key) {
        positions_.emplace(QStringView(key.values.back().name), key.values.size() - 1);
    }

private:
    // The views point into the names' own buffers, which stay put while the names live.
    std::unordered_map<QStringView, qsizetype, FoldedHash, FoldedEqual> positions_;
};

// ---------------------------------------------------------------------------------------------
// Writing

class Writer {
public:
    explicit Writer(QByteArray& out) : out_(out) {}

    void raw(const char* text) { out_.append(text); }
    void raw(char c) { out_.append(c); }
    void raw(const QByteArray& bytes) { out_.append(bytes); }

    // UTF-16 text as UTF-8.
    void text(QStringView s) {
        if (s.isEmpty())
            return;
        const qsizetype at = out_.size();
        out_.resize(at + encoder_.requiredSpace(s.size()));
        char* end = encoder_.appendToBuffer(out_.data() + at, s);
        out_.truncate(end - out_.constData());
    }

    // A quoted name or text with \\ and \" escaped.
    void quoted(QStringView s) {
        raw('"');
        qsizetype from = 0;
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (s[i] == u'\\' || s[i] == u'"') {
                text(s.sliced(from, i - from));
                raw('\\');
                from = i;
            }
        }
        text(s.sliced(from));
        raw('"');
    }

    void hexList(const QByteArray& data) {
        static const char digits[] = "0123456789abcdef";
        const qsizetype at = out_.size();
        out_.resize(at + std::max<qsizetype>(0, data.size() * 3 - 1));
        char* p = out_.data() + at;
        for (qsizetype i = 0; i < data.size(); ++i) {
            if (i > 0)
                *p++ = ',';
            const auto b = static_cast<unsigned char>(data[i]);
            *p++ = digits[b >> 4];
            *p++ = digits[b & 15];
        }
    }

    void hexNumber(quint32 value, int width) {
        static const char digits[] = "0123456789abcdef";
        char buffer[8];
        int n = 0;
        do {
            buffer[n++] = digits[value & 15];
            value >>= 4;
        } while (value != 0);
        for (int i = n; i < width; ++i)
            raw('0');
        while (n > 0)
            raw(buffer[--n]);
    }

    void comments(const QStringList& lines) {
        for (const QString& line : lines) {
            text(line);
            raw('\n');
        }
    }

private:
    QByteArray& out_;
    QStringEncoder encoder_{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
};

// The text of a string value when it can be written in quotes and read back to the same
// bytes: whole UTF-16 ending in exactly one zero, without line breaks or broken surrogates.
std::optional<QString> quotableText(const QByteArray& data) {
    if (data.size() < 2 || data.size() % 2 != 0)
        return std::nullopt;
    const qsizetype units = data.size() / 2 - 1;
    QString text(units, Qt::Uninitialized);
    QChar* out = text.data();
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t c = qFromLittleEndian<quint16>(bytes + 2 * i);
        if (c == 0 || c == u'\n' || c == u'\r')
            return std::nullopt;
        out[i] = QChar(c);
    }
    if (bytes[data.size() - 2] != 0 || bytes[data.size() - 1] != 0)
        return std::nullopt;
    if (!QStringView(text).isValidUtf16())
        return std::nullopt;
    return text;
}

void writeValue(Writer& w, const Value& v) {
    w.comments(v.comments);
    if (v.name.isEmpty())
        w.raw('@');
    else
        w.quoted(v.name);
    w.raw('=');
    if (v.type == TypeSz) {
        if (const auto text = quotableText(v.data)) {
            w.quoted(*text);
            w.raw('\n');
            return;
        }
    }
    if (v.type == TypeDWord && v.data.size() == 4) {
        w.raw("dword:");
        w.hexNumber(*decodeDWord(v.data), 8);
    } else if (v.type == TypeBinary) {
        w.raw("hex:");
        w.hexList(v.data);
    } else {
        w.raw("hex(");
        w.hexNumber(v.type, 0);
        w.raw("):");
        w.hexList(v.data);
    }
    w.raw('\n');
}

} // namespace

bool sameName(QStringView a, QStringView b) {
    // Case folding keeps the length in UTF-16 units, so a length apart is never the same name.
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

const Value* Key::value(const QString& valueName) const {
    for (const Value& v : values) {
        if (sameName(v.name, valueName))
            return &v;
    }
    return nullptr;
}

void Key::setValue(const Value& v) {
    for (Value& existing : values) {
        if (sameName(existing.name, v.name)) {
            existing.type = v.type;
            existing.data = v.data;
            return;
        }
    }
    values.append(v);
}

bool Key::removeValue(const QString& valueName) {
    return values.removeIf([&](const Value& v) { return sameName(v.name, valueName); }) > 0;
}

const Key* Key::subKey(const QString& keyName) const {
    for (const Key& k : subKeys) {
        if (sameName(k.name, keyName))
            return &k;
    }
    return nullptr;
}

Key* Key::subKey(const QString& keyName) {
    return const_cast<Key*>(std::as_const(*this).subKey(keyName));
}

QByteArray encodeString(QStringView text) {
    QByteArray data((text.size() + 1) * 2, Qt::Uninitialized);
    auto* out = reinterpret_cast<uchar*>(data.data());
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text[i].unicode(), out + 2 * i);
    out[text.size() * 2] = 0;
    out[text.size() * 2 + 1] = 0;
    return data;
}

QString decodeString(const QByteArray& data) {
    QString text;
    text.reserve(data.size() / 2);
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        const char16_t c = char16_t(static_cast<unsigned char>(data[i]) |
                                    (static_cast<unsigned char>(data[i + 1]) << 8));
        if (c == 0)
            break;
        text += QChar(c);
    }
    return text;
}

QByteArray encodeDWord(quint32 value) {
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = char((value >> (8 * i)) & 0xff);
    return data;
}

std::optional<quint32> decodeDWord(const QByteArray& data) {
    if (data.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value |= quint32(static_cast<unsigned char>(data[i])) << (8 * i);
    return value;
}

bool isStorableName(const QString& name) {
    return !name.contains(u'\n') && !name.contains(u'\r') && !name.contains(QChar(0)) &&
           QStringView(name).isValidUtf16();
}

QString keyPathProblem(const QStringList& parts) {
    if (parts.size() > MaxKeyDepth)
        return QStringLiteral("the key is %1 levels deep; the registry allows %2")
            .arg(parts.size())
            .arg(MaxKeyDepth);
    for (const QString& part : parts) {
        if (part.isEmpty())
            return QStringLiteral("a key name is empty");
        if (!isStorableName(part))
            return QStringLiteral("a key name holds a line break, a zero or broken text");
        if (part.size() > MaxKeyNameLength)
            return QStringLiteral("the key name '%1' is %2 characters long; the registry allows "
                                  "%3")
                .arg(shown(part))
                .arg(part.size())
                .arg(MaxKeyNameLength);
    }
    return QString();
}

std::optional<QStringList> splitKeyPath(const QString& path) {
    QStringView p = path;
    if (p.startsWith(u'\\'))
        p = p.sliced(1);
    if (p.endsWith(u'\\'))
        p.chop(1);
    if (p.isEmpty())
        return QStringList();
    // Never more parts than the limit allows, whatever the text holds.
    if (p.count(u'\\') >= MaxKeyDepth)
        return std::nullopt;
    const QStringList parts = p.toString().split(u'\\');
    if (!keyPathProblem(parts).isEmpty())
        return std::nullopt;
    return parts;
}

const Key* findKey(const Key& root, const QStringList& parts) {
    const Key* key = &root;
    for (const QString& part : parts) {
        key = key->subKey(part);
        if (!key)
            return nullptr;
    }
    return key;
}

Key* findKey(Key& root, const QStringList& parts) {
    return const_cast<Key*>(findKey(std::as_const(root), parts));
}

Key& createKey(Key& root, const QStringList& parts) {
    Key* key = &root;
    for (const QString& part : parts) {
        Key* child = key->subKey(part);
        if (!child) {
            key->subKeys.emplace_back(part);
            child = &key->subKeys.back();
        }
        key = child;
    }
    return *key;
}

bool removeKey(Key& root, const QStringList& parts) {
    if (parts.isEmpty())
        return false;
    Key* parent = findKey(root, parts.mid(0, parts.size() - 1));
    if (!parent)
        return false;
    const auto it = std::find_if(parent->subKeys.begin(), parent->subKeys.end(),
                                 [&](const Key& k) { return sameName(k.name, parts.back()); });
    if (it == parent->subKeys.end())
        return false;
    parent->subKeys.erase(it);
    return true;
}

ParseResult parse(const QByteArray& bytes) {
    ParseResult result;
    if (bytes.size() > MaxFileSize) {
        result.error = QStringLiteral("the file is larger than %1 MiB").arg(MaxFileSize >> 20);
        return result;
    }
    const std::optional<QString> text = decodeText(bytes);
    if (!text) {
        result.error = QStringLiteral("the file is neither valid UTF-8 nor UTF-16 text");
        return result;
    }
    if (text->contains(QChar(0))) {
        result.error = QStringLiteral("the file contains a zero character");
        return result;
    }
    LineReader lines(*text);
    QStringView line;
    lines.next(line);
    if (trimmedRight(line) != QLatin1String(Header)) {
        result.errorLine = 1;
        result.error = QStringLiteral("the first line is not \"%1\"").arg(QLatin1String(Header));
        return result;
    }

    Document doc;
    QStringList comments; // waiting for what they stand above
    int statement = 1;    // a continued hex list reports the line it began on
    try {
        while (lines.next(line)) {
            statement = lines.number();
            line = trimmedLeft(trimmedRight(line));
            if (line.isEmpty())
                continue;
            if (line.startsWith(u';')) {
                comments.append(line.toString());
                continue;
            }
            if (line.startsWith(u'[')) {
                if (!line.endsWith(u']'))
                    throw LineError{QStringLiteral("a key line must end with ']'")};
                Section section;
                section.line = statement;
                QStringView path = line.sliced(1, line.size() - 2);
                if (path.startsWith(u'-')) {
                    section.removeKey = true;
                    path = path.sliced(1);
                }
                // Counted before it is split: a path of a million parts is refused as it is.
                if (path.count(u'\\') > MaxKeyDepth)
                    throw LineError{QStringLiteral("the key is more than %1 levels deep; the "
                                                   "registry allows %1")
                                        .arg(MaxKeyDepth)};
                section.path = path.toString();
                QStringList parts = section.path.split(u'\\');
                const QString rootName = parts.takeFirst();
                if (rootName.isEmpty() || !isStorableName(rootName))
                    throw LineError{QStringLiteral("'%1' is not a key path").arg(shown(path))};
                if (const QString problem = keyPathProblem(parts); !problem.isEmpty())
                    throw LineError{
                        QStringLiteral("'%1' is not a key path: %2").arg(shown(path), problem)};
                section.comments = std::exchange(comments, {});
                doc.sections.append(std::move(section));
                continue;
            }
            if (doc.sections.isEmpty())
                throw LineError{QStringLiteral("a value line before the first key")};
            Entry entry = parseValue(line, lines);
            if (doc.sections.back().removeKey)
                throw LineError{QStringLiteral("a key that is deleted cannot hold values")};
            entry.value.comments = std::exchange(comments, {});
            doc.sections.back().entries.append(std::move(entry));
        }
    } catch (const LineError& e) {
        result.errorLine = statement;
        result.error = e.message;
        return result;
    }
    doc.trailingComments = std::move(comments);
    result.document = std::move(doc);
    return result;
}

std::optional<std::pair<QString, QStringList>> splitSectionPath(const QString& path) {
    if (path.count(u'\\') > MaxKeyDepth)
        return std::nullopt;
    QStringList parts = path.split(u'\\');
    const QString rootName = parts.takeFirst();
    if (rootName.isEmpty() || !isStorableName(rootName) || !keyPathProblem(parts).isEmpty())
        return std::nullopt;
    return std::make_pair(rootName, parts);
}

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

void TreeBuilder::apply(const Section& section, const QStringList& parts, bool keepComments) {
    if (section.removeKey) {
        if (removeKey(root_, parts)) {
            // Positions after the removed key have shifted: start the index afresh.
            index_.clear();
            indexed_.clear();
        }
        return;
    }
    Key& key = create(parts);
    if (keepComments)
        key.comments += section.comments;
    // Few values are looked up one by one; many through an index.
    std::optional<ValueIndex> byName;
    if (key.values.size() + section.entries.size() > 16)
        byName.emplace(key);
    for (const Entry& entry : section.entries) {
        const Value& v = entry.value;
        if (entry.remove) {
            if (key.removeValue(v.name) && byName)
                byName->rebuild(key);
            continue;
        }
        Value* existing = nullptr;
        if (byName) {
            if (const auto at = byName->find(v.name))
                existing = &key.values[*at];
        } else {
            for (Value& candidate : key.values) {
                if (sameName(candidate.name, v.name)) {
                    existing = &candidate;
                    break;
                }
            }
        }
        if (existing) {
            existing->type = v.type;
            existing->data = v.data;
            if (keepComments)
                existing->comments += v.comments;
            continue;
        }
        key.values.append(keepComments ? v : Value(v.name, v.type, v.data));
        if (byName)
            byName->add(key);
    }
}

void applySection(const Section& section, const QStringList& parts, Key& root) {
    TreeBuilder(root).apply(section, parts, false);
}

RootResult readRoot(const QByteArray& bytes, const QString& rootName) {
    RootResult result;
    ParseResult parsed = parse(bytes);
    if (!parsed.document) {
        result.errorLine = parsed.errorLine;
        result.error = parsed.error;
        return result;
    }
    Key root(rootName);
    TreeBuilder builder(root);
    for (const Section& section : parsed.document->sections) {
        const auto split = splitSectionPath(section.path);
        if (!split || !sameName(split->first, rootName)) {
            result.errorLine = section.line;
            result.error = QStringLiteral("the key [%1] does not belong to %2")
                               .arg(shown(section.path), rootName);
            return result;
        }
        builder.apply(section, split->second, true);
    }
    root.trailingComments = std::move(parsed.document->trailingComments);
    result.root = std::move(root);
    return result;
}

QByteArray format(const QString& rootName, const Key& root) {
    QByteArray out;
    out.reserve(4096);
    Writer w(out);
    w.raw(Header);
    w.raw("\n\n");

    // Depth first, parents before their children, without recursion.
    struct Pending {
        const Key* key;
        QByteArray path;
    };
    std::vector<Pending> stack;
    stack.push_back({&root, rootName.toUtf8()});
    bool isRoot = true;
    while (!stack.empty()) {
        const Pending item = std::move(stack.back());
        stack.pop_back();
        const Key& key = *item.key;
        if (!isRoot || !key.values.isEmpty() || !key.comments.isEmpty()) {
            w.comments(key.comments);
            w.raw('[');
            w.raw(item.path);
            w.raw("]\n");
            for (const Value& v : key.values)
                writeValue(w, v);
            w.raw('\n');
        }
        isRoot = false;
        std::vector<const Key*> children;
        children.reserve(key.subKeys.size());
        for (const Key& k : key.subKeys)
            children.push_back(&k);
        std::stable_sort(children.begin(), children.end(), [](const Key* a, const Key* b) {
            return QString::compare(a->name, b->name, Qt::CaseInsensitive) < 0;
        });
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, item.path + '\\' + (*it)->name.toUtf8()});
    }
    w.comments(root.trailingComments);
    return out;
}

} // namespace regfile

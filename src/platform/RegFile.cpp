#include "platform/RegFile.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QUtf8StringView>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <limits>
#include <unordered_map>

namespace regfile {

namespace {

// The file is parsed as UTF-8 bytes (a UTF-16 file is turned into UTF-8 first): no copy of
// the whole text as UTF-16 is made, and names and texts are decoded one by one.

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isHexDigits(QByteArrayView s) {
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), isHexDigit);
}

quint32 hexValue(QByteArrayView digits) {
    quint32 value = 0;
    for (char c : digits)
        value = value * 16 + quint32(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    return value;
}

QByteArrayView trimmed(QByteArrayView s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && (s[begin] == ' ' || s[begin] == '\t'))
        ++begin;
    while (end > begin && (s[end - 1] == ' ' || s[end - 1] == '\t' || s[end - 1] == '\r'))
        --end;
    return s.sliced(begin, end - begin);
}

bool startsWithNoCase(QByteArrayView s, const char* prefix) {
    const QByteArrayView p(prefix);
    return s.size() >= p.size() && s.first(p.size()).compare(p, Qt::CaseInsensitive) == 0;
}

// A name shown in a message: long ones are cut, as a path can be many thousand characters.
QString shown(QStringView text) {
    constexpr qsizetype Shown = 80;
    return text.size() <= Shown ? text.toString()
                                : text.left(Shown).toString() + QStringLiteral("...");
}
QString shown(QByteArrayView utf8) {
    return shown(QString::fromUtf8(utf8.first(std::min<qsizetype>(utf8.size(), 400))));
}

struct LineError {
    QString message;
};

// The lines of a text, ended by CR LF, LF or a lone CR; like QString::split, a text ending in
// a line end has an empty last line.
class LineReader {
public:
    explicit LineReader(QByteArrayView text) : text_(text) {}

    bool next(QByteArrayView& line) {
        if (done_)
            return false;
        ++number_;
        const char* data = text_.data();
        const qsizetype n = text_.size();
        const qsizetype start = pos_;
        lineStart_ = start;
        const void* lf = std::memchr(data + start, '\n', size_t(n - start));
        const qsizetype lfAt = lf ? static_cast<const char*>(lf) - data : n;
        const void* cr = std::memchr(data + start, '\r', size_t(lfAt - start));
        if (cr) {
            const qsizetype crAt = static_cast<const char*>(cr) - data;
            line = text_.sliced(start, crAt - start);
            pos_ = crAt + 1 < n && data[crAt + 1] == '\n' ? crAt + 2 : crAt + 1;
        } else {
            line = text_.sliced(start, lfAt - start);
            pos_ = lfAt + 1;
        }
        if (pos_ > n || (!cr && lfAt >= n)) {
            done_ = true;
            pos_ = n;
        }
        return true;
    }
    int number() const { return number_; }
    // Where the line last read begins in the text.
    qsizetype lineStart() const { return lineStart_; }

private:
    QByteArrayView text_;
    qsizetype pos_ = 0;
    qsizetype lineStart_ = 0;
    int number_ = 0;
    bool done_ = false;
};

// UTF-8 as the registry stores a string: UTF-16LE with its terminating zero.
QByteArray storedString(QByteArrayView utf8) {
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    QByteArray data((utf8.size() + 1) * 2, Qt::Uninitialized);
    if (quintptr(data.constData()) % alignof(char16_t) == 0) {
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        QChar* begin = reinterpret_cast<QChar*>(data.data());
        QChar* end = decoder.appendToBuffer(begin, utf8);
        *end = QChar(0);
        data.truncate((end - begin + 1) * 2);
        return data;
    }
#endif
    return encodeString(QString::fromUtf8(utf8));
}

// Value names repeat from key to key in most files: each distinct one is made once.
class NamePool {
public:
    QString operator()(QByteArrayView utf8) {
        const auto it = pool_.find(utf8);
        if (it != pool_.end())
            return it->second;
        QString name = QString::fromUtf8(utf8);
        if (pool_.size() < 4096) {
            // The name may lie in a buffer of one line (an escaped name): the pool keeps its
            // own copy of every name it holds.
            keys_.push_back(utf8.toByteArray());
            pool_.emplace(QByteArrayView(keys_.back()), name);
        }
        return name;
    }

private:
    struct Hash {
        size_t operator()(QByteArrayView v) const { return qHash(v); }
    };
    // The views point into keys_, whose byte arrays stay put as the deque grows.
    std::deque<QByteArray> keys_;
    std::unordered_map<QByteArrayView, QString, Hash> pool_;
};

// A quoted text starting at s[pos] == '"'; only \\ and \" are escapes, as regedit writes them.
// Leaves pos after the closing quote. Without escapes the view into the file is returned;
// otherwise the unescaped text lands in `buffer`.
QByteArrayView readQuoted(QByteArrayView s, qsizetype& pos, QByteArray& buffer) {
    const qsizetype start = pos + 1;
    qsizetype i = start;
    while (i < s.size() && s[i] != '"' && s[i] != '\\')
        ++i;
    if (i < s.size() && s[i] == '"') {
        pos = i + 1;
        return s.sliced(start, i - start);
    }
    buffer = s.sliced(start, i - start).toByteArray();
    for (pos = i; pos < s.size(); ++pos) {
        const char c = s[pos];
        if (c == '"') {
            ++pos;
            return buffer;
        }
        if (c == '\\') {
            if (pos + 1 >= s.size() || (s[pos + 1] != '\\' && s[pos + 1] != '"'))
                throw LineError{QStringLiteral("a backslash in a quoted text must be followed by "
                                               "\\ or \"")};
            ++pos;
            buffer += s[pos];
            continue;
        }
        buffer += c;
    }
    throw LineError{QStringLiteral("a quoted text is not closed")};
}

QByteArray parseHexList(QByteArrayView list) {
    QByteArray bytes;
    list = trimmed(list);
    if (list.isEmpty())
        return bytes;
    bytes.reserve(list.size() / 3 + 1);
    qsizetype from = 0;
    while (true) {
        const qsizetype comma = list.indexOf(',', from);
        const QByteArrayView token =
            trimmed(list.sliced(from, (comma < 0 ? list.size() : comma) - from));
        if (token.size() > 2 || !isHexDigits(token))
            throw LineError{QStringLiteral("'%1' is not a hexadecimal byte").arg(shown(token))};
        bytes.append(char(hexValue(token)));
        if (comma < 0)
            break;
        from = comma + 1;
    }
    return bytes;
}

// The file as UTF-8 without a byte-order mark; nullopt when it is neither valid UTF-8 nor
// UTF-16LE with its mark.
std::optional<QByteArray> utf8Text(const QByteArray& bytes) {
    if (bytes.startsWith("\xff\xfe")) {
        if (bytes.size() % 2 != 0)
            return std::nullopt;
        QStringDecoder decoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
        const QString text = decoder(QByteArrayView(bytes).sliced(2));
        if (decoder.hasError())
            return std::nullopt;
        return text.toUtf8();
    }
    const QByteArray body = bytes.startsWith("\xef\xbb\xbf") ? bytes.sliced(3) : bytes;
    if (!QByteArrayView(body).isValidUtf8())
        return std::nullopt;
    return body;
}

// Splits the section's path into its root name and parts; the reason it is no key path
// otherwise.
QString splitSection(Section& section) {
    const QString& path = section.path;
    const qsizetype slash = path.indexOf(u'\\');
    KeyNames names;
    if (slash >= 0) {
        names = splitKeyNames(QStringView(path).sliced(slash + 1));
        if (names.tooDeep)
            return names.problem;
    }
    const QString rootName = slash < 0 ? path : path.left(slash);
    if (rootName.isEmpty() || !isStorableName(rootName))
        return QStringLiteral("'%1' is not a key path").arg(shown(path));
    if (!names.problem.isEmpty())
        return QStringLiteral("'%1' is not a key path: %2").arg(shown(path), names.problem);
    section.rootName = rootName;
    section.parts = std::move(names.parts);
    return QString();
}

// One value line; a continued hex list takes the lines after it from `lines`.
// With `materialize` false the line is only checked: no name or text is made.
Entry parseValue(QByteArrayView line, LineReader& lines, NamePool& names, bool materialize) {
    Entry entry;
    QByteArray buffer;
    qsizetype pos = 0;
    if (line.startsWith('@')) {
        pos = 1;
    } else if (line.startsWith('"')) {
        const QByteArrayView name = readQuoted(line, pos, buffer);
        // Characters are never more than bytes: only a long name is counted.
        if (name.size() > MaxValueNameLength &&
            QUtf8StringView(name).toString().size() > MaxValueNameLength)
            throw LineError{QStringLiteral("a value name is longer than %1 characters")
                                .arg(MaxValueNameLength)};
        if (materialize)
            entry.value.name = names(name);
    } else {
        throw LineError{QStringLiteral("expected a key in [] or a value line")};
    }
    QByteArrayView rest = trimmed(line.sliced(pos));
    if (!rest.startsWith('='))
        throw LineError{QStringLiteral("expected '=' after the value name")};
    rest = trimmed(rest.sliced(1));

    if (rest == "-") {
        entry.remove = true;
        return entry;
    }
    if (rest.startsWith('"')) {
        qsizetype at = 0;
        const QByteArrayView text = readQuoted(rest, at, buffer);
        if (at != rest.size())
            throw LineError{QStringLiteral("unexpected text after the quoted value")};
        entry.value.type = TypeSz;
        if (materialize)
            entry.value.data = storedString(text);
        return entry;
    }
    if (startsWithNoCase(rest, "dword:")) {
        const QByteArrayView digits = rest.sliced(6);
        if (digits.size() > 8 || !isHexDigits(digits))
            throw LineError{QStringLiteral("a dword needs one to eight hexadecimal digits")};
        entry.value.type = TypeDWord;
        entry.value.data = encodeDWord(hexValue(digits));
        return entry;
    }
    if (startsWithNoCase(rest, "hex")) {
        QByteArrayView afterHex = rest.sliced(3);
        quint32 type = TypeBinary;
        if (afterHex.startsWith('(')) {
            const qsizetype close = afterHex.indexOf(')');
            const QByteArrayView code =
                close < 0 ? QByteArrayView() : afterHex.sliced(1, close - 1);
            if (code.size() > 8 || !isHexDigits(code))
                throw LineError{QStringLiteral("hex(...) needs a hexadecimal type code")};
            type = hexValue(code);
            afterHex = afterHex.sliced(close + 1);
        }
        if (!afterHex.startsWith(':'))
            throw LineError{QStringLiteral("expected ':' after hex")};
        QByteArrayView list = afterHex.sliced(1);
        if (list.endsWith('\\')) {
            QByteArray joined;
            QByteArrayView next = list;
            while (next.endsWith('\\')) {
                joined += next.chopped(1);
                if (!lines.next(next))
                    throw LineError{QStringLiteral("the file ends inside a continued hex list")};
                next = trimmed(next);
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

ParseOutcome parseInto(const QByteArray& bytes, ParseSink& sink) {
    ParseOutcome outcome;
    if (bytes.size() > MaxFileSize) {
        outcome.error = QStringLiteral("the file is larger than %1 MiB").arg(MaxFileSize >> 20);
        return outcome;
    }
    const std::optional<QByteArray> text = utf8Text(bytes);
    if (!text) {
        outcome.error = QStringLiteral("the file is neither valid UTF-8 nor UTF-16 text");
        return outcome;
    }
    if (text->contains('\0')) {
        outcome.error = QStringLiteral("the file contains a zero character");
        return outcome;
    }
    outcome.text = *text;
    LineReader lines(outcome.text);
    QByteArrayView line;
    lines.next(line);
    if (trimmed(line) != QByteArrayView(Header)) {
        outcome.errorLine = 1;
        outcome.error = QStringLiteral("the first line is not \"%1\"").arg(QLatin1String(Header));
        return outcome;
    }

    NamePool names;
    QStringList comments; // waiting for what they stand above
    bool inSection = false;
    bool removing = false;
    int statement = 1; // a continued hex list reports the line it began on
    try {
        while (lines.next(line)) {
            statement = lines.number();
            line = trimmed(line);
            if (line.isEmpty())
                continue;
            if (line.startsWith(';')) {
                comments.append(QString::fromUtf8(line));
                continue;
            }
            if (line.startsWith('[')) {
                if (!line.endsWith(']'))
                    throw LineError{QStringLiteral("a key line must end with ']'")};
                Section section;
                section.line = statement;
                QByteArrayView path = line.sliced(1, line.size() - 2);
                if (path.startsWith('-')) {
                    section.removeKey = true;
                    path = path.sliced(1);
                }
                section.path = QString::fromUtf8(path);
                if (const QString error = splitSection(section); !error.isEmpty())
                    throw LineError{error};
                section.comments = std::exchange(comments, {});
                inSection = true;
                removing = section.removeKey;
                sink.section(std::move(section), lines.lineStart());
                continue;
            }
            if (!inSection)
                throw LineError{QStringLiteral("a value line before the first key")};
            Entry entry = parseValue(line, lines, names, sink.wantsValues());
            if (removing)
                throw LineError{QStringLiteral("a key that is deleted cannot hold values")};
            entry.value.comments = std::exchange(comments, {});
            sink.entry(std::move(entry));
        }
    } catch (const LineError& e) {
        outcome.errorLine = statement;
        outcome.error = e.message;
        return outcome;
    }
    outcome.trailingComments = std::move(comments);
    return outcome;
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
// On a little-endian machine the text is a view of the data itself; `copy` holds it otherwise.
std::optional<QStringView> quotableText(const QByteArray& data, QString& copy) {
    if (data.size() < 2 || data.size() % 2 != 0)
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    if (bytes[data.size() - 2] != 0 || bytes[data.size() - 1] != 0)
        return std::nullopt;
    const qsizetype units = data.size() / 2 - 1;
    QStringView text;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    if (quintptr(bytes) % alignof(char16_t) == 0)
        text = QStringView(reinterpret_cast<const char16_t*>(bytes), units);
#endif
    if (text.isNull() && units > 0) {
        copy.resize(units);
        for (qsizetype i = 0; i < units; ++i)
            copy[i] = QChar(qFromLittleEndian<quint16>(bytes + 2 * i));
        text = copy;
    }
    bool surrogates = false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0 || u == u'\n' || u == u'\r')
            return std::nullopt;
        surrogates = surrogates || QChar::isSurrogate(u);
    }
    if (surrogates && !text.isValidUtf16())
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
        QString copy;
        if (const auto text = quotableText(v.data, copy)) {
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

KeyNames splitKeyNames(QStringView names) {
    KeyNames result;
    // Counted before it is split: a path of a million parts is refused as it is.
    if (names.count(u'\\') >= MaxKeyDepth) {
        result.tooDeep = true;
        result.problem =
            QStringLiteral("the key is more than %1 levels deep; the registry allows %1")
                .arg(MaxKeyDepth);
        return result;
    }
    result.parts = names.toString().split(u'\\');
    result.problem = keyPathProblem(result.parts);
    return result;
}

std::optional<QStringList> splitKeyPath(const QString& path) {
    QStringView p = path;
    if (p.startsWith(u'\\'))
        p = p.sliced(1);
    if (p.endsWith(u'\\'))
        p.chop(1);
    if (p.isEmpty())
        return QStringList();
    KeyNames names = splitKeyNames(p);
    if (!names.problem.isEmpty())
        return std::nullopt;
    return std::move(names.parts);
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
    class DocumentSink : public ParseSink {
    public:
        void section(Section&& section, qsizetype) override {
            doc.sections.append(std::move(section));
        }
        void entry(Entry&& entry) override { doc.sections.back().entries.append(std::move(entry)); }
        Document doc;
    } sink;
    ParseOutcome outcome = parseInto(bytes, sink);
    ParseResult result;
    result.errorLine = outcome.errorLine;
    result.error = outcome.error;
    if (outcome.error.isEmpty()) {
        sink.doc.trailingComments = std::move(outcome.trailingComments);
        result.document = std::move(sink.doc);
    }
    return result;
}

std::optional<std::pair<QString, QStringList>> splitSectionPath(const QString& path) {
    Section section;
    section.path = path;
    if (!splitSection(section).isEmpty())
        return std::nullopt;
    return std::make_pair(std::move(section.rootName), std::move(section.parts));
}

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

// A section of a store file must lie below the file's own root.
void checkRoot(const Section& section, const QString& rootName) {
    if (!sameName(section.rootName, rootName))
        throw LineError{QStringLiteral("the key [%1] does not belong to %2")
                            .arg(shown(section.path), rootName)};
}

// Reads a store file straight into its tree, comments and all: each section whole, its values
// gathered first, goes through the one builder.
class TreeSink : public ParseSink {
public:
    TreeSink(Key& root, const QString& rootName) : builder_(root), rootName_(rootName) {}

    void section(Section&& section, qsizetype) override {
        flush();
        checkRoot(section, rootName_);
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
            checkRoot(section, index_.rootName);
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

namespace {

// About the size of the file, so that the text is written into one buffer: text values take
// about half their stored size, names and key paths about their length.
qsizetype formattedSizeGuess(const Key& root) {
    qsizetype size = 4096;
    std::vector<std::pair<const Key*, qsizetype>> pending{{&root, root.name.size()}};
    while (!pending.empty()) {
        const auto [key, pathLength] = pending.back();
        pending.pop_back();
        size += pathLength + 4;
        for (const Value& v : key->values)
            size += v.name.size() + v.data.size() + 8;
        for (const Key& sub : key->subKeys)
            pending.emplace_back(&sub, pathLength + 1 + sub.name.size());
    }
    return size;
}

// Whether the file's section lines alone ("[" + the key's full path + "]" and a line end, for
// every key below the root) pass `maxSize` bytes: then the file is larger still and is not
// built at all. A path's UTF-16 length is at most its UTF-8 length. A few hundred kilobytes of
// deep keys with long names would otherwise have hundreds of megabytes written before the
// file is given up.
bool sectionLinesExceed(const QString& rootName, const Key& root, qsizetype maxSize) {
    qsizetype size = 0;
    std::vector<std::pair<const Key*, qsizetype>> pending{{&root, rootName.size()}};
    while (!pending.empty()) {
        const auto [key, pathLength] = pending.back();
        pending.pop_back();
        if (key != &root) {
            size += pathLength + 3;
            if (size > maxSize)
                return true;
        }
        for (const Key& sub : key->subKeys)
            pending.emplace_back(&sub, pathLength + 1 + sub.name.size());
    }
    return false;
}

} // namespace

namespace {

std::vector<const Key*> sortedChildren(const Key& key) {
    std::vector<const Key*> children;
    children.reserve(key.subKeys.size());
    for (const Key& k : key.subKeys)
        children.push_back(&k);
    std::stable_sort(children.begin(), children.end(), [](const Key* a, const Key* b) {
        return QString::compare(a->name, b->name, Qt::CaseInsensitive) < 0;
    });
    return children;
}

// A key's block: its comments, its section line and values, a blank line; nothing for the
// root without values or comments.
void writeBlock(Writer& w, const Key& key, const QByteArray& path, bool isRoot) {
    if (isRoot && key.values.isEmpty() && key.comments.isEmpty())
        return;
    w.comments(key.comments);
    w.raw('[');
    w.raw(path);
    w.raw("]\n");
    for (const Value& v : key.values)
        writeValue(w, v);
    w.raw('\n');
}

} // namespace

std::optional<FormattedFile> formatWithin(const QString& rootName, const Key& root,
                                          qsizetype maxSize) {
    if (sectionLinesExceed(rootName, root, maxSize))
        return std::nullopt;
    FormattedFile file;
    file.bytes.reserve(std::min(formattedSizeGuess(root), maxSize + 1));
    Writer w(file.bytes);
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
        writeBlock(w, *item.key, item.path, isRoot);
        if (file.bytes.size() > maxSize)
            return std::nullopt;
        file.blockEnds.push_back(file.bytes.size());
        isRoot = false;
        const std::vector<const Key*> children = sortedChildren(*item.key);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, item.path + '\\' + (*it)->name.toUtf8()});
    }
    w.comments(root.trailingComments);
    if (file.bytes.size() > maxSize)
        return std::nullopt;
    return file;
}

FormattedFile formatWithLayout(const QString& rootName, const Key& root) {
    return *formatWithin(rootName, root, std::numeric_limits<qsizetype>::max() - 1);
}

QByteArray format(const QString& rootName, const Key& root) {
    return formatWithLayout(rootName, root).bytes;
}

std::optional<FormattedFile> reformat(const QString& rootName, const Key& before,
                                      const FormattedFile& written, const Key& now) {
    FormattedFile file;
    file.bytes.reserve(written.bytes.size() + 4096);
    Writer w(file.bytes);
    const qsizetype headerEnd = qsizetype(sizeof(Header) - 1) + 2;
    w.raw(QByteArrayView(written.bytes).first(headerEnd).toByteArray());

    // Both trees in writing order side by side; they must hold the same keys.
    struct Pending {
        const Key* before;
        const Key* now;
        QByteArray path;
    };
    std::vector<Pending> stack;
    stack.push_back({&before, &now, rootName.toUtf8()});
    size_t block = 0;
    bool isRoot = true;
    while (!stack.empty()) {
        const Pending item = std::move(stack.back());
        stack.pop_back();
        if (block >= written.blockEnds.size() || item.before->name != item.now->name ||
            item.before->subKeys.size() != item.now->subKeys.size())
            return std::nullopt;
        const qsizetype from = block == 0 ? headerEnd : written.blockEnds[block - 1];
        if (item.before->values == item.now->values && item.before->comments == item.now->comments)
            file.bytes.append(
                QByteArrayView(written.bytes).sliced(from, written.blockEnds[block] - from));
        else
            writeBlock(w, *item.now, item.path, isRoot);
        file.blockEnds.push_back(file.bytes.size());
        ++block;
        isRoot = false;
        const std::vector<const Key*> was = sortedChildren(*item.before);
        const std::vector<const Key*> is = sortedChildren(*item.now);
        for (size_t i = is.size(); i-- > 0;)
            stack.push_back({was[i], is[i], item.path + '\\' + is[i]->name.toUtf8()});
    }
    if (block != written.blockEnds.size())
        return std::nullopt;
    if (before.trailingComments == now.trailingComments)
        file.bytes.append(QByteArrayView(written.bytes).sliced(written.blockEnds.back()));
    else
        w.comments(now.trailingComments);
    return file;
}

} // namespace regfile

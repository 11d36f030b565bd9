#include "platform/RegFileParser.h"

#include <QStringDecoder>
#include <QUtf8StringView>
#include <algorithm>
#include <cstring>
#include <deque>
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

QString shown(QByteArrayView utf8) {
    return shownName(QString::fromUtf8(utf8.first(std::min<qsizetype>(utf8.size(), 400))));
}

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
        return QStringLiteral("'%1' is not a key path").arg(shownName(path));
    if (!names.problem.isEmpty())
        return QStringLiteral("'%1' is not a key path: %2").arg(shownName(path), names.problem);
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

} // namespace

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

void requireRoot(const Section& section, const QString& rootName) {
    if (!sameName(section.rootName, rootName))
        throw LineError{QStringLiteral("the key [%1] does not belong to %2")
                            .arg(shownName(section.path), rootName)};
}

} // namespace regfile

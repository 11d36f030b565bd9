#include "platform/RegFile.h"

#include <QStringDecoder>
#include <algorithm>

namespace regfile {

namespace {

bool sameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

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
    while (!s.isEmpty() && (s.front() == u' ' || s.front() == u'\t'))
        s = s.mid(1);
    return s;
}

struct LineError {
    QString message;
};

// Reads a quoted text starting at s[pos] == '"'; only \\ and \" are escapes, as regedit
// writes them. Leaves pos after the closing quote.
QString readQuoted(QStringView s, qsizetype& pos) {
    QString out;
    for (++pos; pos < s.size(); ++pos) {
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

QString quoted(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (QChar c : text) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        out += c;
    }
    out += u'"';
    return out;
}

QByteArray parseHexList(QStringView list) {
    QByteArray bytes;
    list = trimmedLeft(trimmedRight(list));
    if (list.isEmpty())
        return bytes;
    for (QStringView token : list.split(u',')) {
        token = trimmedLeft(trimmedRight(token));
        if (token.size() > 2 || !isHexDigits(token))
            throw LineError{QStringLiteral("'%1' is not a hexadecimal byte").arg(token)};
        bytes.append(char(token.toUInt(nullptr, 16)));
    }
    return bytes;
}

QString hexList(const QByteArray& data) {
    QString out;
    out.reserve(data.size() * 3);
    static const char digits[] = "0123456789abcdef";
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i > 0)
            out += u',';
        const auto b = static_cast<unsigned char>(data[i]);
        out += QLatin1Char(digits[b >> 4]);
        out += QLatin1Char(digits[b & 15]);
    }
    return out;
}

std::optional<QString> decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xff\xfe")) {
        if (bytes.size() % 2 != 0)
            return std::nullopt;
        QStringDecoder decoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
        QString text = decoder(bytes.mid(2));
        if (decoder.hasError())
            return std::nullopt;
        return text;
    }
    const QByteArray body = bytes.startsWith("\xef\xbb\xbf") ? bytes.mid(3) : bytes;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder(body);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// One value line; `lines` and `index` let a continued hex list take the lines after it.
Entry parseValue(QStringView line, const QStringList& lines, qsizetype& index) {
    Entry entry;
    qsizetype pos = 0;
    if (line.startsWith(u'@')) {
        pos = 1;
    } else if (line.startsWith(u'"')) {
        entry.value.name = readQuoted(line, pos);
    } else {
        throw LineError{QStringLiteral("expected a key in [] or a value line")};
    }
    QStringView rest = trimmedLeft(line.mid(pos));
    if (!rest.startsWith(u'='))
        throw LineError{QStringLiteral("expected '=' after the value name")};
    rest = trimmedLeft(rest.mid(1));

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
        const QStringView digits = rest.mid(6);
        if (digits.size() > 8 || !isHexDigits(digits))
            throw LineError{QStringLiteral("a dword needs one to eight hexadecimal digits")};
        entry.value.type = TypeDWord;
        entry.value.data = encodeDWord(digits.toUInt(nullptr, 16));
        return entry;
    }
    if (rest.startsWith(u"hex", Qt::CaseInsensitive)) {
        QStringView afterHex = rest.mid(3);
        quint32 type = TypeBinary;
        if (afterHex.startsWith(u'(')) {
            const qsizetype close = afterHex.indexOf(u')');
            const QStringView code = close < 0 ? QStringView() : afterHex.mid(1, close - 1);
            if (code.size() > 8 || !isHexDigits(code))
                throw LineError{QStringLiteral("hex(...) needs a hexadecimal type code")};
            type = code.toUInt(nullptr, 16);
            afterHex = afterHex.mid(close + 1);
        }
        if (!afterHex.startsWith(u':'))
            throw LineError{QStringLiteral("expected ':' after hex")};
        QString list = afterHex.mid(1).toString();
        while (list.endsWith(u'\\')) {
            list.chop(1);
            if (++index >= lines.size())
                throw LineError{QStringLiteral("the file ends inside a continued hex list")};
            list += trimmedLeft(trimmedRight(lines[index]));
        }
        entry.value.type = type;
        entry.value.data = parseHexList(list);
        return entry;
    }
    throw LineError{QStringLiteral("unknown kind of value data")};
}

void formatKey(QString& out, const QString& path, const Key& key, bool isRoot) {
    if (!isRoot || !key.values.isEmpty()) {
        out += QStringLiteral("[%1]\n").arg(path);
        for (const Value& v : key.values) {
            out += v.name.isEmpty() ? QStringLiteral("@") : quoted(v.name);
            out += u'=';
            const QString text = decodeString(v.data);
            // A text that would not come back byte for byte (line breaks, bytes after the
            // zero, no zero at all) is kept in its hex form.
            if (v.type == TypeSz && encodeString(text) == v.data && !text.contains(u'\n') &&
                !text.contains(u'\r')) {
                out += quoted(text);
            } else if (v.type == TypeDWord && v.data.size() == 4) {
                out +=
                    QStringLiteral("dword:%1").arg(*decodeDWord(v.data), 8, 16, QLatin1Char('0'));
            } else if (v.type == TypeBinary) {
                out += QStringLiteral("hex:") + hexList(v.data);
            } else {
                out += QStringLiteral("hex(%1):").arg(v.type, 0, 16) + hexList(v.data);
            }
            out += u'\n';
        }
        out += u'\n';
    }
    std::vector<const Key*> children;
    children.reserve(key.subKeys.size());
    for (const Key& k : key.subKeys)
        children.push_back(&k);
    std::stable_sort(children.begin(), children.end(), [](const Key* a, const Key* b) {
        return QString::compare(a->name, b->name, Qt::CaseInsensitive) < 0;
    });
    for (const Key* child : children)
        formatKey(out, path + u'\\' + child->name, *child, false);
}

} // namespace

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

QByteArray encodeString(const QString& text) {
    QByteArray data;
    data.reserve((text.size() + 1) * 2);
    for (QChar c : text) {
        data.append(char(c.unicode() & 0xff));
        data.append(char(c.unicode() >> 8));
    }
    data.append(2, '\0');
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
    return !name.contains(u'\n') && !name.contains(u'\r') && !name.contains(QChar(0));
}

std::optional<QStringList> splitKeyPath(const QString& path) {
    QStringView p = path;
    if (p.startsWith(u'\\'))
        p = p.mid(1);
    if (p.endsWith(u'\\'))
        p.chop(1);
    if (p.isEmpty())
        return QStringList();
    const QStringList parts = p.toString().split(u'\\');
    for (const QString& part : parts) {
        if (part.isEmpty() || !isStorableName(part))
            return std::nullopt;
    }
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
            key->subKeys.push_back(Key{part, {}, {}});
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
    const std::optional<QString> text = decodeText(bytes);
    if (!text) {
        result.error = QStringLiteral("the file is neither valid UTF-8 nor UTF-16 text");
        return result;
    }
    if (text->contains(QChar(0))) {
        result.error = QStringLiteral("the file contains a zero character");
        return result;
    }
    const QStringList lines = text->split(u'\n');
    if (trimmedRight(lines.front()) != QLatin1String(Header)) {
        result.errorLine = 1;
        result.error = QStringLiteral("the first line is not \"%1\"").arg(QLatin1String(Header));
        return result;
    }

    Document doc;
    qsizetype index = 1;
    qsizetype statement = index; // a continued hex list reports the line it began on
    try {
        for (; index < lines.size(); ++index) {
            statement = index;
            const QStringView line = trimmedLeft(trimmedRight(lines[index]));
            if (line.isEmpty() || line.startsWith(u';'))
                continue;
            if (line.startsWith(u'[')) {
                if (!line.endsWith(u']'))
                    throw LineError{QStringLiteral("a key line must end with ']'")};
                Section section;
                section.line = int(index + 1);
                QStringView path = line.mid(1, line.size() - 2);
                if (path.startsWith(u'-')) {
                    section.removeKey = true;
                    path = path.mid(1);
                }
                section.path = path.toString();
                if (!splitSectionPath(section.path))
                    throw LineError{QStringLiteral("'%1' is not a key path").arg(path)};
                doc.sections.append(section);
                continue;
            }
            if (doc.sections.isEmpty())
                throw LineError{QStringLiteral("a value line before the first key")};
            Entry entry = parseValue(line, lines, index);
            if (doc.sections.back().removeKey)
                throw LineError{QStringLiteral("a key that is deleted cannot hold values")};
            doc.sections.back().entries.append(entry);
        }
    } catch (const LineError& e) {
        result.errorLine = int(statement + 1);
        result.error = e.message;
        return result;
    }
    result.document = std::move(doc);
    return result;
}

std::optional<std::pair<QString, QStringList>> splitSectionPath(const QString& path) {
    QStringList parts = path.split(u'\\');
    for (const QString& part : parts) {
        if (part.isEmpty() || !isStorableName(part))
            return std::nullopt;
    }
    const QString rootName = parts.takeFirst();
    return std::make_pair(rootName, parts);
}

void applySection(const Section& section, const QStringList& parts, Key& root) {
    if (section.removeKey) {
        removeKey(root, parts);
        return;
    }
    Key& key = createKey(root, parts);
    for (const Entry& entry : section.entries) {
        if (entry.remove)
            key.removeValue(entry.value.name);
        else
            key.setValue(entry.value);
    }
}

RootResult readRoot(const QByteArray& bytes, const QString& rootName) {
    RootResult result;
    ParseResult parsed = parse(bytes);
    if (!parsed.document) {
        result.errorLine = parsed.errorLine;
        result.error = parsed.error;
        return result;
    }
    Key root{rootName, {}, {}};
    for (const Section& section : parsed.document->sections) {
        const auto split = splitSectionPath(section.path);
        if (!split || !sameName(split->first, rootName)) {
            result.errorLine = section.line;
            result.error =
                QStringLiteral("the key [%1] does not belong to %2").arg(section.path, rootName);
            return result;
        }
        applySection(section, split->second, root);
    }
    result.root = std::move(root);
    return result;
}

QByteArray format(const QString& rootName, const Key& root) {
    QString out = QLatin1String(Header) + QStringLiteral("\n\n");
    formatKey(out, rootName, root, true);
    return out.toUtf8();
}

} // namespace regfile

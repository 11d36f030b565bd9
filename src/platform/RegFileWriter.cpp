#include "platform/RegFileWriter.h"

#include <QStringEncoder>
#include <QtEndian>
#include <algorithm>
#include <limits>

namespace regfile {

namespace {

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

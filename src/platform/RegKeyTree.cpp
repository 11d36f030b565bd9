#include "platform/RegKeyTree.h"

#include <QtEndian>
#include <algorithm>

namespace regfile {

QString shownName(QStringView text) {
    constexpr qsizetype Shown = 80;
    return text.size() <= Shown ? text.toString()
                                : text.left(Shown).toString() + QStringLiteral("...");
}

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
                .arg(shownName(part))
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

} // namespace regfile

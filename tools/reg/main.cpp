// reg: query, add, delete and import on the program's registry store, in the manner of the
// Windows "reg" command. Exit code 0 on success, 1 with a message on stderr otherwise.

#include "platform/Errors.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"

#include <QFile>
#include <QStringList>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>

namespace {

const char Usage[] =
    "REG QUERY KEY [/v NAME | /ve] [/s]\n"
    "REG ADD KEY [/v NAME | /ve] [/t REG_SZ|REG_EXPAND_SZ|REG_DWORD|REG_BINARY] [/d DATA] [/f]\n"
    "REG DELETE KEY [/v NAME | /ve | /va] [/f]\n"
    "REG IMPORT FILE\n"
    "\n"
    "KEY is ROOT\\SUBKEY, ROOT one of HKLM, HKCU, HKU (or HKEY_LOCAL_MACHINE,\n"
    "HKEY_CURRENT_USER, HKEY_USERS). REG_DWORD data is decimal or 0x hexadecimal,\n"
    "REG_BINARY data hexadecimal digits. /f does not ask before overwriting or deleting.\n"
    "The store is kept in $VARNHOLT_REGISTRY_DIR, else ~/.config/Quillon/registry/.\n";

const char NotFound[] = "The system was unable to find the specified registry key or value.";

// Thrown for anything the user asked wrongly or that failed; main prints it.
struct Failure {
    QString message;
};

void out(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

bool confirm(const QString& question) {
    out(question + QStringLiteral(" "));
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        out(QStringLiteral("\n"));
        return false;
    }
    const QString a = QString::fromLocal8Bit(answer).trimmed().toLower();
    return a == u"y" || a == u"yes";
}

struct KeyName {
    RegRoot root;
    QStringList parts;
};

KeyName parseKey(const QString& text) {
    const qsizetype slash = text.indexOf(u'\\');
    const auto root = rootFromName(slash < 0 ? text : text.left(slash));
    const auto parts = regfile::splitKeyPath(slash < 0 ? QString() : text.mid(slash));
    if (!root || !parts)
        throw Failure{QStringLiteral("Invalid key name.")};
    return {*root, *parts};
}

// The key's path with the names as stored.
QString storedPath(const KeyName& key, const regfile::Key& tree) {
    QString path = rootName(key.root);
    const regfile::Key* k = &tree;
    for (const QString& part : key.parts) {
        k = k->subKey(part);
        path += u'\\' + (k ? k->name : part);
        if (!k)
            break;
    }
    return path;
}

QString typeName(quint32 type) {
    static const std::map<quint32, const char*> names = {{0, "REG_NONE"},
                                                         {1, "REG_SZ"},
                                                         {2, "REG_EXPAND_SZ"},
                                                         {3, "REG_BINARY"},
                                                         {4, "REG_DWORD"},
                                                         {5, "REG_DWORD_BIG_ENDIAN"},
                                                         {6, "REG_LINK"},
                                                         {7, "REG_MULTI_SZ"},
                                                         {8, "REG_RESOURCE_LIST"},
                                                         {9, "REG_FULL_RESOURCE_DESCRIPTOR"},
                                                         {10, "REG_RESOURCE_REQUIREMENTS_LIST"},
                                                         {11, "REG_QWORD"}};
    const auto it = names.find(type);
    return it != names.end() ? QLatin1String(it->second)
                             : QStringLiteral("REG_UNKNOWN(0x%1)").arg(type, 0, 16);
}

QString dataText(const regfile::Value& v) {
    switch (v.type) {
    case regfile::TypeSz:
    case regfile::TypeExpandSz:
        return regfile::decodeString(v.data);
    case regfile::TypeMultiSz: {
        // Items separated by zero characters, shown with "\0" between them as Windows does.
        QStringList items;
        QByteArray rest = v.data;
        while (!rest.isEmpty()) {
            const QString item = regfile::decodeString(rest);
            if (item.isEmpty())
                break;
            items << item;
            rest = rest.mid((item.size() + 1) * 2);
        }
        return items.join(QStringLiteral("\\0"));
    }
    case regfile::TypeDWord:
        if (const auto n = regfile::decodeDWord(v.data))
            return QStringLiteral("0x%1").arg(*n, 0, 16);
        break;
    case regfile::TypeQWord:
        if (v.data.size() == 8) {
            quint64 n = 0;
            for (int i = 7; i >= 0; --i)
                n = (n << 8) | static_cast<unsigned char>(v.data[i]);
            return QStringLiteral("0x%1").arg(n, 0, 16);
        }
        break;
    }
    return QString::fromLatin1(v.data.toHex().toUpper());
}

QString valueLine(const regfile::Value& v) {
    return QStringLiteral("    %1    %2    %3\n")
        .arg(v.name.isEmpty() ? QStringLiteral("(Default)") : v.name, typeName(v.type),
             dataText(v));
}

struct Options {
    QString key;
    std::optional<QString> valueName; // "" for /ve
    bool allValues = false;
    std::optional<QString> type;
    std::optional<QString> data;
    bool force = false;
    bool recurse = false;
};

Failure syntaxError(const QString& op) {
    return Failure{QStringLiteral("Invalid syntax.\nType \"REG %1 /?\" for usage.").arg(op)};
}

// Reads KEY and the options that `allowed` lists ("v", "ve", "va", "t", "d", "f", "s").
Options parseOptions(const QString& op, const QStringList& args, const QStringList& allowed) {
    Options o;
    if (args.size() < 2)
        throw syntaxError(op);
    o.key = args[1];
    for (qsizetype i = 2; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString opt =
            (a.startsWith(u'/') || a.startsWith(u'-')) ? a.mid(1).toLower() : QString();
        if (opt.isEmpty() || !allowed.contains(opt))
            throw syntaxError(op);
        const bool takesArgument = opt == u"v" || opt == u"t" || opt == u"d";
        if (takesArgument && i + 1 >= args.size())
            throw syntaxError(op);
        if (opt == u"v" || opt == u"ve" || opt == u"va") {
            if (o.valueName || o.allValues)
                throw syntaxError(op);
            if (opt == u"v")
                o.valueName = args[++i];
            else if (opt == u"ve")
                o.valueName = QString();
            else
                o.allValues = true;
        } else if (opt == u"t") {
            o.type = args[++i].toUpper();
        } else if (opt == u"d") {
            o.data = args[++i];
        } else if (opt == u"f") {
            o.force = true;
        } else if (opt == u"s") {
            o.recurse = true;
        }
    }
    return o;
}

void printKey(const QString& path, const regfile::Key& key, bool recurse) {
    out(QStringLiteral("\n%1\n").arg(path));
    for (const regfile::Value& v : key.values)
        out(valueLine(v));
    if (recurse) {
        for (const regfile::Key& sub : key.subKeys)
            printKey(path + u'\\' + sub.name, sub, true);
        return;
    }
    if (!key.subKeys.empty())
        out(QStringLiteral("\n"));
    for (const regfile::Key& sub : key.subKeys)
        out(path + u'\\' + sub.name + u'\n');
}

int query(const QStringList& args) {
    const Options o = parseOptions(QStringLiteral("QUERY"), args, {"v", "ve", "s"});
    const KeyName name = parseKey(o.key);
    const regfile::Key tree = readStore(name.root);
    const regfile::Key* key = regfile::findKey(tree, name.parts);
    if (!key)
        throw Failure{QLatin1String(NotFound)};
    const QString path = storedPath(name, tree);
    if (o.valueName) {
        const regfile::Value* v = key->value(*o.valueName);
        if (!v)
            throw Failure{QLatin1String(NotFound)};
        out(QStringLiteral("\n%1\n").arg(path) + valueLine(*v) + u'\n');
        return 0;
    }
    printKey(path, *key, o.recurse);
    return 0;
}

regfile::Value valueFromOptions(const Options& o) {
    const QString type = o.type.value_or(QStringLiteral("REG_SZ"));
    const QString data = o.data.value_or(QString());
    regfile::Value v;
    v.name = *o.valueName;
    if (type == u"REG_SZ" || type == u"REG_EXPAND_SZ") {
        v.type = type == u"REG_SZ" ? regfile::TypeSz : regfile::TypeExpandSz;
        v.data = regfile::encodeString(data);
    } else if (type == u"REG_DWORD") {
        bool ok = true;
        const quint32 n = data.isEmpty() ? 0
                          : data.startsWith(u"0x", Qt::CaseInsensitive)
                              ? data.mid(2).toUInt(&ok, 16)
                              : data.toUInt(&ok, 10);
        if (!ok || data.startsWith(u'+'))
            throw Failure{QStringLiteral("Invalid syntax. Specify valid numeric value for /d.")};
        v.type = regfile::TypeDWord;
        v.data = regfile::encodeDWord(n);
    } else if (type == u"REG_BINARY") {
        const QByteArray hex = data.toLatin1();
        const bool digitsOnly = std::all_of(hex.begin(), hex.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        });
        if (hex.size() % 2 != 0 || !digitsOnly || QString::fromLatin1(hex) != data)
            throw Failure{QStringLiteral("Invalid syntax. Specify valid hexadecimal digits for "
                                         "/d.")};
        v.type = regfile::TypeBinary;
        v.data = QByteArray::fromHex(hex);
    } else {
        throw Failure{QStringLiteral("Invalid value type '%1'.").arg(type)};
    }
    return v;
}

int add(const QStringList& args) {
    const Options o = parseOptions(QStringLiteral("ADD"), args, {"v", "ve", "t", "d", "f"});
    const KeyName name = parseKey(o.key);
    if (!o.valueName && (o.type || o.data))
        throw syntaxError(QStringLiteral("ADD"));
    std::optional<regfile::Value> value;
    if (o.valueName) {
        if (!regfile::isStorableName(*o.valueName))
            throw Failure{QStringLiteral("Invalid value name.")};
        value = valueFromOptions(o);
        const regfile::Key tree = readStore(name.root);
        const regfile::Key* key = regfile::findKey(tree, name.parts);
        if (key && key->value(*o.valueName) && !o.force &&
            !confirm(
                QStringLiteral("Value %1 exists, overwrite(Yes/No)?")
                    .arg(o.valueName->isEmpty() ? QStringLiteral("(Default)") : *o.valueName))) {
            out(QStringLiteral("The operation was cancelled by the user.\n"));
            return 1;
        }
    }
    updateStore(name.root, [&](regfile::Key& tree) {
        regfile::Key& key = regfile::createKey(tree, name.parts);
        if (value)
            key.setValue(*value);
    });
    out(QStringLiteral("The operation completed successfully.\n"));
    return 0;
}

int remove(const QStringList& args) {
    const Options o = parseOptions(QStringLiteral("DELETE"), args, {"v", "ve", "va", "f"});
    const KeyName name = parseKey(o.key);
    const bool wholeKey = !o.valueName && !o.allValues;
    if (wholeKey && name.parts.isEmpty())
        throw Failure{QStringLiteral("Invalid key name.")};
    const regfile::Key tree = readStore(name.root);
    const regfile::Key* key = regfile::findKey(tree, name.parts);
    if (!key || (o.valueName && !key->value(*o.valueName)))
        throw Failure{QLatin1String(NotFound)};

    QString question;
    if (wholeKey)
        question = QStringLiteral("Permanently delete the registry key %1 (Yes/No)?")
                       .arg(storedPath(name, tree));
    else if (o.allValues)
        question = QStringLiteral("Delete all values under the registry key %1 (Yes/No)?")
                       .arg(storedPath(name, tree));
    else
        question = QStringLiteral("Delete the registry value %1 (Yes/No)?")
                       .arg(o.valueName->isEmpty() ? QStringLiteral("(Default)") : *o.valueName);
    if (!o.force && !confirm(question)) {
        out(QStringLiteral("The operation was cancelled by the user.\n"));
        return 1;
    }

    bool found = false;
    updateStore(name.root, [&](regfile::Key& root) {
        if (wholeKey) {
            found = regfile::removeKey(root, name.parts);
            return;
        }
        regfile::Key* k = regfile::findKey(root, name.parts);
        found = k != nullptr;
        if (k && o.allValues)
            k->values.clear();
        else if (k)
            found = k->removeValue(*o.valueName);
    });
    if (!found) // gone since we looked
        throw Failure{QLatin1String(NotFound)};
    out(QStringLiteral("The operation completed successfully.\n"));
    return 0;
}

int import(const QStringList& args) {
    if (args.size() != 2)
        throw syntaxError(QStringLiteral("IMPORT"));
    const QString fileName = args[1];
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure{QStringLiteral("Cannot open '%1': %2").arg(fileName, file.errorString())};
    const regfile::ParseResult parsed = regfile::parse(file.readAll());
    if (!parsed.document) {
        throw Failure{QStringLiteral("%1: %2%3")
                          .arg(fileName,
                               parsed.errorLine ? QStringLiteral("line %1: ").arg(parsed.errorLine)
                                                : QString(),
                               parsed.error)};
    }

    // Every section is checked before anything is stored; each root then changes at once.
    struct Placed {
        const regfile::Section* section;
        QStringList parts;
    };
    std::map<RegRoot, QList<Placed>> byRoot;
    for (const regfile::Section& section : parsed.document->sections) {
        const auto split = regfile::splitSectionPath(section.path);
        const auto root = split ? rootFromName(split->first) : std::nullopt;
        if (!root)
            throw Failure{QStringLiteral("%1: line %2: '%3' does not begin with a root key")
                              .arg(fileName)
                              .arg(section.line)
                              .arg(section.path)};
        byRoot[*root].append({&section, split->second});
    }
    for (const auto& [root, sections] : byRoot) {
        updateStore(root, [&](regfile::Key& tree) {
            for (const Placed& p : sections)
                regfile::applySection(*p.section, p.parts, tree);
        });
    }
    out(QStringLiteral("The operation completed successfully.\n"));
    return 0;
}

int run(const QStringList& args) {
    if (args.isEmpty())
        throw Failure{QStringLiteral("Invalid syntax.\nType \"REG /?\" for usage.")};
    if (args.contains(QStringLiteral("/?")) || args.contains(QStringLiteral("-?")) ||
        args.contains(QStringLiteral("--help"))) {
        out(QLatin1String(Usage));
        return 0;
    }
    const QString op = args[0].toLower();
    if (op == u"query")
        return query(args);
    if (op == u"add")
        return add(args);
    if (op == u"delete")
        return remove(args);
    if (op == u"import")
        return import(args);
    throw Failure{QStringLiteral("Invalid syntax.\nType \"REG /?\" for usage.")};
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString error;
    try {
        return run(args);
    } catch (const Failure& f) {
        error = f.message;
    } catch (const AppError& e) {
        error = e.message();
    }
    std::fflush(stdout);
    const QByteArray bytes = (QStringLiteral("ERROR: ") + error + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    return 1;
}

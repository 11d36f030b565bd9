// reg: query, add, delete and import on the program's registry store, in the manner of the
// Windows "reg" command. Exit code 0 on success, 1 with a message on stderr otherwise.

#include "RegArguments.h"
#include "platform/Errors.h"
#include "platform/OutsideFile.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>

namespace {

using namespace regtool;

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

// The key and, with `recurse`, every key below it, parents first; without recursion, so that
// no depth of keys can exhaust the stack.
void printKey(const QString& path, const regfile::Key& key, bool recurse) {
    if (!recurse) {
        out(QStringLiteral("\n%1\n").arg(path));
        for (const regfile::Value& v : key.values)
            out(valueLine(v));
        if (!key.subKeys.empty())
            out(QStringLiteral("\n"));
        for (const regfile::Key& sub : key.subKeys)
            out(path + u'\\' + sub.name + u'\n');
        return;
    }
    std::vector<std::pair<QString, const regfile::Key*>> pending{{path, &key}};
    while (!pending.empty()) {
        const auto [at, k] = std::move(pending.back());
        pending.pop_back();
        out(QStringLiteral("\n%1\n").arg(at));
        for (const regfile::Value& v : k->values)
            out(valueLine(v));
        for (auto it = k->subKeys.rbegin(); it != k->subKeys.rend(); ++it)
            pending.emplace_back(at + u'\\' + it->name, &*it);
    }
}

int query(const Request& r) {
    const regfile::Key tree = readStore(r.key.root);
    const regfile::Key* key = regfile::findKey(tree, r.key.parts);
    if (!key)
        throw Failure{QLatin1String(NotFound)};
    const QString path = storedPath(r.key, tree);
    if (r.valueName) {
        const regfile::Value* v = key->value(*r.valueName);
        if (!v)
            throw Failure{QLatin1String(NotFound)};
        out(QStringLiteral("\n%1\n").arg(path) + valueLine(*v) + u'\n');
        return 0;
    }
    printKey(path, *key, r.recurse);
    return 0;
}

int add(const Request& r) {
    if (r.value) {
        const regfile::Key tree = readStore(r.key.root);
        const regfile::Key* key = regfile::findKey(tree, r.key.parts);
        if (key && key->value(r.value->name) && !r.force &&
            !confirm(
                QStringLiteral("Value %1 exists, overwrite(Yes/No)?")
                    .arg(r.value->name.isEmpty() ? QStringLiteral("(Default)") : r.value->name))) {
            out(QStringLiteral("The operation was cancelled by the user.\n"));
            return 1;
        }
    }
    updateStore(r.key.root, [&](regfile::Key& tree) {
        regfile::Key& key = regfile::createKey(tree, r.key.parts);
        if (r.value)
            key.setValue(*r.value);
    });
    out(QStringLiteral("The operation completed successfully.\n"));
    return 0;
}

int remove(const Request& r) {
    const bool wholeKey = !r.valueName && !r.allValues;
    const regfile::Key tree = readStore(r.key.root);
    const regfile::Key* key = regfile::findKey(tree, r.key.parts);
    if (!key || (r.valueName && !key->value(*r.valueName)))
        throw Failure{QLatin1String(NotFound)};

    QString question;
    if (wholeKey)
        question = QStringLiteral("Permanently delete the registry key %1 (Yes/No)?")
                       .arg(storedPath(r.key, tree));
    else if (r.allValues)
        question = QStringLiteral("Delete all values under the registry key %1 (Yes/No)?")
                       .arg(storedPath(r.key, tree));
    else
        question = QStringLiteral("Delete the registry value %1 (Yes/No)?")
                       .arg(r.valueName->isEmpty() ? QStringLiteral("(Default)") : *r.valueName);
    if (!r.force && !confirm(question)) {
        out(QStringLiteral("The operation was cancelled by the user.\n"));
        return 1;
    }

    bool found = false;
    updateStore(r.key.root, [&](regfile::Key& root) {
        if (wholeKey) {
            found = regfile::removeKey(root, r.key.parts);
            return;
        }
        regfile::Key* k = regfile::findKey(root, r.key.parts);
        found = k != nullptr;
        if (k && r.allValues)
            k->values.clear();
        else if (k)
            found = k->removeValue(*r.valueName);
    });
    if (!found) // gone since we looked
        throw Failure{QLatin1String(NotFound)};
    out(QStringLiteral("The operation completed successfully.\n"));
    return 0;
}

// The whole import file; what is not a regular file (a FIFO would wait for a writer) or is
// larger than a store file may be is refused before it is read.
QByteArray readImportFile(const QString& fileName) {
    // A link the user names is followed; what it reaches must still be a regular file.
    const platform::OutsideFile file = platform::ReadSystemFile(fileName, regfile::MaxFileSize);
    switch (file.outcome) {
    case platform::OutsideFile::Outcome::Read:
        return file.bytes;
    case platform::OutsideFile::Outcome::NotRegular:
        throw Failure{QStringLiteral("Cannot open '%1': it is not a regular file").arg(fileName)};
    case platform::OutsideFile::Outcome::TooLarge:
        throw Failure{QStringLiteral("Cannot import '%1': it is larger than %2 MiB")
                          .arg(fileName)
                          .arg(regfile::MaxFileSize >> 20)};
    default:
        throw Failure{QStringLiteral("Cannot open '%1': %2").arg(fileName, file.reason)};
    }
}

int import(const Request& r) {
    const QString& fileName = r.file;
    const regfile::ParseResult parsed = regfile::parse(readImportFile(fileName));
    if (!parsed.document) {
        throw Failure{QStringLiteral("%1: %2%3")
                          .arg(fileName,
                               parsed.errorLine ? QStringLiteral("line %1: ").arg(parsed.errorLine)
                                                : QString(),
                               parsed.error)};
    }

    // Every section is checked before anything is stored; each root then changes at once.
    std::map<RegRoot, QList<const regfile::Section*>> byRoot;
    for (const regfile::Section& section : parsed.document->sections) {
        const auto root = rootFromName(section.rootName);
        if (!root)
            throw Failure{QStringLiteral("%1: line %2: '%3' does not begin with a root key")
                              .arg(fileName)
                              .arg(section.line)
                              .arg(section.path.left(80))};
        byRoot[*root].append(&section);
    }
    for (const auto& [root, sections] : byRoot) {
        updateStore(root, [&](regfile::Key& tree) {
            regfile::TreeBuilder builder(tree);
            for (const regfile::Section* section : sections)
                builder.apply(*section, false);
        });
    }
    out(QStringLiteral("The operation completed successfully.\n"));
    return 0;
}

int run(const QStringList& args) {
    const Request r = parseArguments(args);
    switch (r.operation) {
    case Operation::Help:
        out(QLatin1String(Usage));
        return 0;
    case Operation::Query:
        return query(r);
    case Operation::Add:
        return add(r);
    case Operation::Delete:
        return remove(r);
    case Operation::Import:
        return import(r);
    }
    return 1;
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

#pragma once

// The reg tool's command line: what it asks for, checked before any file is touched. Pure:
// the arguments in, a request or the message of what is wrong with them out.

#include "platform/RegKeyTree.h"
#include "platform/Registry.h"

#include <QStringList>
#include <algorithm>
#include <optional>

namespace regtool {

// Anything the user asked wrongly or that failed; the tool prints it after "ERROR: ".
struct Failure {
    QString message;
};

enum class Operation { Help, Query, Add, Delete, Import };

struct KeyName {
    RegRoot root = RegRoot::LocalMachine;
    QStringList parts;
};

struct Request {
    Operation operation = Operation::Help;
    KeyName key;
    std::optional<QString> valueName;    // "" for /ve
    bool allValues = false;              // /va
    bool force = false;                  // /f
    bool recurse = false;                // /s
    std::optional<regfile::Value> value; // add with /v or /ve: what is stored
    QString file;                        // import
};

inline Failure syntaxError(const QString& op) {
    return Failure{QStringLiteral("Invalid syntax.\nType \"REG %1 /?\" for usage.").arg(op)};
}

// ROOT\SUBKEY, the root by its short or long name. The path keeps within the registry's
// limits, which the message names.
inline KeyName parseKey(const QString& text) {
    const qsizetype slash = text.indexOf(u'\\');
    const auto root = rootFromName(slash < 0 ? text : text.left(slash));
    if (!root)
        throw Failure{QStringLiteral("Invalid key name.")};
    QStringView path = slash < 0 ? QStringView() : QStringView(text).sliced(slash + 1);
    if (path.endsWith(u'\\'))
        path.chop(1);
    if (path.isEmpty())
        return {*root, {}};
    regfile::KeyNames names = regfile::splitKeyNames(path);
    if (!names.problem.isEmpty())
        throw Failure{QStringLiteral("Invalid key name: %1.").arg(names.problem)};
    return {*root, std::move(names.parts)};
}

inline void checkValueName(const QString& name) {
    if (!regfile::isStorableName(name))
        throw Failure{QStringLiteral("Invalid value name.")};
    if (name.size() > regfile::MaxValueNameLength)
        throw Failure{QStringLiteral("Invalid value name: it is longer than %1 characters.")
                          .arg(regfile::MaxValueNameLength)};
}

// The value that /v (or /ve), /t and /d describe.
inline regfile::Value valueOf(const QString& name, const std::optional<QString>& typeOption,
                              const std::optional<QString>& dataOption) {
    const QString type = typeOption.value_or(QStringLiteral("REG_SZ"));
    const QString data = dataOption.value_or(QString());
    regfile::Value v;
    v.name = name;
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

// The request the arguments (without the program name) make; raises Failure otherwise.
inline Request parseArguments(const QStringList& args) {
    const Failure general{QStringLiteral("Invalid syntax.\nType \"REG /?\" for usage.")};
    if (args.isEmpty())
        throw general;
    Request r;
    for (const QString& a : args) {
        if (a == u"/?" || a == u"-?" || a == u"--help")
            return r; // Operation::Help
    }
    const QString op = args[0].toLower();
    QString opName;
    QStringList allowed;
    if (op == u"query") {
        r.operation = Operation::Query;
        opName = QStringLiteral("QUERY");
        allowed = {QStringLiteral("v"), QStringLiteral("ve"), QStringLiteral("s")};
    } else if (op == u"add") {
        r.operation = Operation::Add;
        opName = QStringLiteral("ADD");
        allowed = {QStringLiteral("v"), QStringLiteral("ve"), QStringLiteral("t"),
                   QStringLiteral("d"), QStringLiteral("f")};
    } else if (op == u"delete") {
        r.operation = Operation::Delete;
        opName = QStringLiteral("DELETE");
        allowed = {QStringLiteral("v"), QStringLiteral("ve"), QStringLiteral("va"),
                   QStringLiteral("f")};
    } else if (op == u"import") {
        if (args.size() != 2)
            throw syntaxError(QStringLiteral("IMPORT"));
        r.operation = Operation::Import;
        r.file = args[1];
        return r;
    } else {
        throw general;
    }

    if (args.size() < 2)
        throw syntaxError(opName);
    std::optional<QString> type, data;
    for (qsizetype i = 2; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString opt =
            (a.startsWith(u'/') || a.startsWith(u'-')) ? a.mid(1).toLower() : QString();
        if (opt.isEmpty() || !allowed.contains(opt))
            throw syntaxError(opName);
        const bool takesArgument = opt == u"v" || opt == u"t" || opt == u"d";
        if (takesArgument && i + 1 >= args.size())
            throw syntaxError(opName);
        if (opt == u"v" || opt == u"ve" || opt == u"va") {
            if (r.valueName || r.allValues)
                throw syntaxError(opName);
            if (opt == u"v")
                r.valueName = args[++i];
            else if (opt == u"ve")
                r.valueName = QString();
            else
                r.allValues = true;
        } else if (opt == u"t") {
            type = args[++i].toUpper();
        } else if (opt == u"d") {
            data = args[++i];
        } else if (opt == u"f") {
            r.force = true;
        } else if (opt == u"s") {
            r.recurse = true;
        }
    }
    r.key = parseKey(args[1]);
    if (r.operation == Operation::Add) {
        if (!r.valueName && (type || data))
            throw syntaxError(opName);
        if (r.valueName) {
            checkValueName(*r.valueName);
            r.value = valueOf(*r.valueName, type, data);
        }
    }
    if (r.operation == Operation::Delete && !r.valueName && !r.allValues && r.key.parts.isEmpty())
        throw Failure{QStringLiteral("Invalid key name.")};
    return r;
}

} // namespace regtool

#include "platform/InstanceList.h"

#include <QCryptographicHash>
#include <algorithm>
#include <unordered_set>

namespace platform {

namespace {

quint16 readU16(const QByteArray& bytes, qsizetype at) {
    if (at + 2 > bytes.size())
        return 0;
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

quint32 readU32(const QByteArray& bytes, qsizetype at) {
    if (at + 4 > bytes.size())
        return 0;
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

void writeU16(QByteArray& bytes, qsizetype at, quint16 value) {
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char(value >> 8);
}

void writeU32(QByteArray& bytes, qsizetype at, quint32 value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i) & 0xFF);
}

} // namespace

QString InstanceBaseName(const QString& executablePath) {
    return (QStringLiteral("Jcl") + executablePath)
        .toUpper()
        .replace(QLatin1Char('/'), QLatin1Char('_'));
}

QString InstanceNames::messageName(quint32 pid) const {
    return messageBase + QLatin1Char('-') + QString::number(pid);
}

InstanceNames InstanceObjectNames(const QString& executablePath, const QString& folder) {
    const QString base =
        folder + QStringLiteral("instances-") +
        QString::fromLatin1(QCryptographicHash::hash(InstanceBaseName(executablePath).toUtf8(),
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(16));
    InstanceNames names;
    names.lock = base + QStringLiteral(".lock");
    names.map = base + QStringLiteral(".list");
    names.messageBase = base;
    return names;
}

InstanceList ReadInstanceList(const QByteArray& bytes) {
    InstanceList list;
    list.maxInstances = readU16(bytes, 0);
    const int count = std::min<int>(readU16(bytes, 2), InstanceListPlaces);
    list.pids.reserve(count);
    for (int i = 0; i < count; ++i)
        list.pids.push_back(readU32(bytes, 4 + 4 * i));
    return list;
}

QByteArray WriteInstanceList(const InstanceList& list) {
    QByteArray bytes(InstanceListBytes, '\0');
    const int count = std::min<int>(int(list.pids.size()), InstanceListPlaces);
    writeU16(bytes, 0, list.maxInstances);
    writeU16(bytes, 2, quint16(count));
    for (int i = 0; i < count; ++i)
        writeU32(bytes, 4 + 4 * i, list.pids[i]);
    return bytes;
}

bool AppendInstance(InstanceList& list, quint32 pid) {
    if (list.pids.size() >= size_t(InstanceListPlaces))
        return false;
    list.pids.push_back(pid);
    return true;
}

bool RemoveInstance(InstanceList& list, quint32 pid) {
    const auto found = std::find(list.pids.begin(), list.pids.end(), pid);
    if (found == list.pids.end())
        return false;
    list.pids.erase(found);
    return true;
}

void PruneInstances(InstanceList& list, const std::function<bool(quint32)>& alive) {
    std::unordered_set<quint32> seen;
    std::vector<quint32> kept;
    for (const quint32 pid : list.pids)
        if (seen.insert(pid).second && alive(pid))
            kept.push_back(pid);
    list.pids = std::move(kept);
}

InstanceVerdict DecideInstance(const InstanceList& list, quint32 self,
                               const std::vector<InstanceAnswer>& answers) {
    InstanceVerdict verdict;
    if (list.pids.size() <= 1)
        return verdict;
    // A copy that could not register (the list was full) is younger than every listed one.
    bool selfSeen = false;
    bool olderActive = false;
    quint32 oldestActive = 0;
    size_t asked = 0;
    for (const quint32 pid : list.pids) {
        if (pid == self) {
            selfSeen = true;
            continue;
        }
        if (asked >= answers.size())
            break;
        const InstanceAnswer answer = answers[asked++];
        if (answer == InstanceAnswer::Inactive)
            return verdict;
        if (answer == InstanceAnswer::Absent || answer == InstanceAnswer::Silent)
            continue;
        if (oldestActive == 0)
            oldestActive = pid;
        if (!selfSeen)
            olderActive = true;
    }
    if (olderActive) {
        verdict.runOn = false;
        verdict.activate = oldestActive;
    }
    return verdict;
}

} // namespace platform

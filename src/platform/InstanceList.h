#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <vector>

// The list of running copies that every copy of one executable shares, and the names under
// which the copies find it. Pure rules: the shared memory and the lock are SharedMemory.h.
namespace platform {

// Bytes of the shared list: max copies (u16), count (u16), then the pid places (u32 each),
// little-endian.
inline constexpr qsizetype InstanceListBytes = 1032;
inline constexpr int InstanceListPlaces = 257;
// What the first copy stores as the maximum.
inline constexpr quint16 InstanceListMaxMark = 65535;

struct InstanceList {
    quint16 maxInstances = 0;
    std::vector<quint32> pids; // oldest first; at most InstanceListPlaces
};

// The base of every name the copies share: "JCL" and the executable's full path, upper-cased,
// each "/" turned into "_".
QString InstanceBaseName(const QString& executablePath);

// The files of the objects the copies of one executable share, all in the user's private
// folder (GuardFolder(), mode 0700): nobody else can read, make or take them. `lock` and `map`
// are the files of NamedLock and SharedMemory; messageName(pid) is the local socket on which
// that copy answers the others.
struct InstanceNames {
    QString lock;
    QString map;
    QString messageBase;
    QString messageName(quint32 pid) const;
};

// Names in `folder` (ending with "/") from InstanceBaseName(): "instances-", 16 hex digits of
// its SHA-1 (short, so a socket address holds it), then ".lock", ".list" and "-<pid>".
InstanceNames InstanceObjectNames(const QString& executablePath, const QString& folder);

// Reads the list from the shared bytes. A count beyond the places (a foreign or broken
// block) is read as full. Fewer bytes than InstanceListBytes read as zeros.
InstanceList ReadInstanceList(const QByteArray& bytes);
// The InstanceListBytes bytes of `list`; unused places are zero.
QByteArray WriteInstanceList(const InstanceList& list);

// Adds `pid` at the end. False, and the list unchanged, when every place is taken.
bool AppendInstance(InstanceList& list, quint32 pid);
// Removes the first entry of `pid`, moving the later ones forward. False when absent.
bool RemoveInstance(InstanceList& list, quint32 pid);

// Drops the pids of processes that have ended (`alive` says) and later repeats of a pid, which
// a reused pid leaves behind after a copy was killed. Order is kept.
void PruneInstances(InstanceList& list, const std::function<bool(quint32)>& alive);

// What one other copy said when asked whether its guard is active.
enum class InstanceAnswer {
    Active,   // it answered "active"
    Inactive, // it answered "not active"
    Silent,   // it holds its name but gave no answer in time: a hung copy, counted as gone
    Absent,   // nothing listens under its name: not a running copy of ours
};

// The outcome of the check of a copy that has registered itself.
struct InstanceVerdict {
    bool runOn = true;
    quint32 activate = 0; // when ending: the oldest active copy, to be brought to the front
};

// Decides whether the copy `self` may run, from the pruned list and the answers of the other
// copies in list order (`answers[i]` belongs to the i-th pid other than `self`; a shorter
// vector means the asking stopped at an inactive answer). At most one copy runs: this copy
// ends when an older copy is active; one that never answers is hung or no copy of ours, and
// does not keep this one from running. A younger copy that is still starting up does not end an
// older one (both checking at once would otherwise both end).
InstanceVerdict DecideInstance(const InstanceList& list, quint32 self,
                               const std::vector<InstanceAnswer>& answers);

} // namespace platform

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

// The names of the objects the copies of one executable share. `lock` and `map` are names
// of NamedLock and SharedMemory; messageName(pid) is the local socket (in the abstract
// namespace, so it vanishes with its process) on which that copy answers the others.
struct InstanceNames {
    QString lock;
    QString map;
    QString messageBase;
    QString messageName(quint32 pid) const;
};

// Names from InstanceBaseName() and the user's id: base + "_" + uid, then "_" + `secret` when
// there is one, then "_Otx", "_Map" and "_Msg", each cut to what the operating system takes
// (see FitObjectName()). The objects live in places every user shares: each user's copies keep
// to names of their own, and a secret only the user can read (UserSecret.h) keeps others from
// making them first.
InstanceNames InstanceObjectNames(const QString& executablePath, unsigned userId,
                                  const QString& secret = QString());

// `name` made fit for a system object: kept as it is when its UTF-8 form has at most
// `maxBytes` bytes, otherwise cut and ended with "~" and 16 hex digits of its SHA-1, so long
// paths still give distinct names and every copy computes the same one.
QString FitObjectName(const QString& name, int maxBytes);

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
    Silent,   // it holds its name but gave no answer in time: counted as active
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
// ends when an older copy is active. A younger copy that is still starting up does not end an
// older one (both checking at once would otherwise both end).
InstanceVerdict DecideInstance(const InstanceList& list, quint32 self,
                               const std::vector<InstanceAnswer>& answers);

} // namespace platform

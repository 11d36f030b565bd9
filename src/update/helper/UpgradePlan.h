#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// What the upgrade helper does, worked out from its command line, the queue file and the
// downloaded files beside the program, before anything is touched. Pure.

// The command line the program hands over, read back.
struct HelperCommand {
    QString ProgramPath;   // the program's full path; may contain blanks
    QString RestartParams; // e.g. "/afterupgrade"
    QString Folder;        // the program's folder, ending with "/"
    bool External = false; // the update is an external setup program
};

// The largest command line the helper reads, and the largest queue file.
inline constexpr qsizetype HelperCommandLimit = 32 * 1024;
inline constexpr qint64 HelperQueueLimit = 16 * 1024 * 1024;

// The helper's own arguments from its argument vector. The program names the helper by its
// path, unquoted, so a path with blanks arrives as several pieces: the helper's path is the
// shortest run of leading pieces, joined by blanks, that `isHelper` knows as its own file.
// Without such a run, everything after the first piece.
QStringList HelperArguments(const QStringList& argv,
                            const std::function<bool(const QString&)>& isHelper);

// Arguments joined, each followed by one blank; the program path ends at the blank before the
// first " +", the parameters run from the "+" to the method digit. Nothing when the arguments
// are not of that form, or longer than HelperCommandLimit (the helper then only shows what it
// is).
std::optional<HelperCommand> ParseHelperCommand(const QStringList& args);

// The absolute targets of the queue file, one per CR LF line, "." and ".." resolved; empty
// lines are skipped, and so is every line that is not an absolute path. A target listed twice
// counts once.
QStringList QueueTargets(const QString& queueText);

// A line of a verified queue: the target, a tab and the download's SHA-256 in hex.
struct VerifiedTarget {
    QString Target;    // absolute, cleaned
    QByteArray Sha256; // 32 raw bytes
};

// A queue that begins with the line VerifiedQueueFirstLine (see UpgradePaths.h).
bool IsVerifiedQueue(const QString& queueText);

// The well-formed lines of a verified queue, each target once; other lines are ignored.
// Nothing for a queue of the plain kind.
QList<VerifiedTarget> VerifiedQueueTargets(const QString& queueText);

// A file "<name>.uTMP" in the program's folder, in directory order.
struct ScannedFile {
    QString FileName;        // with its ".uTMP"
    bool Executable = false; // it carries execute permission
};

struct HelperFacts {
    QStringList Args;
    QString QueueText;
    QString QueueFilePath;
    // The queue is there but not the program's own (another user's, a link, too large): it is
    // neither applied nor deleted.
    bool QueueRefused = false;
    QList<ScannedFile> Scan; // the program's folder, "*.uTMP", in directory order
    bool ProgramExists = false;
    bool OwnDownloaded = false; // program path + ".uTMP" exists
};

enum class HelperStepKind {
    WaitForEnd,     // until Path can be opened for writing (its program has ended)
    MoveQueued,     // rename Path over Target; on success Target becomes a plain file
    MoveVerified,   // as MoveQueued, only when Path's SHA-256 is Sha256; otherwise Path goes
    ReplaceScanned, // Target made writable, deleted, Path renamed to it, attributes set
    Start,          // Path started with Arguments, not waited for
    Remove,         // delete Path
};

struct HelperStep {
    HelperStepKind Kind = HelperStepKind::Remove;
    QString Path;
    QString Target;
    QStringList Arguments;
    bool Hidden = false;     // ReplaceScanned: the target is the setup program
    bool Executable = false; // ReplaceScanned: the target is a program and must stay runnable
    QByteArray Sha256;       // MoveVerified: what Path must hash to
    bool operator==(const HelperStep&) const = default;
};

struct UpgradePlan {
    bool Valid = false; // false: no usable command line, nothing to do
    HelperCommand Command;
    QList<HelperStep> Steps;
};

// The steps in order: wait for the program, apply the queue, move the remaining downloads in
// the folder, start the program (or the setup), delete the queue; with an external setup, wait
// for it, delete it and start the program.
//
// A name counts as a program file ("exe") when it ends in "exe", as downloads for Windows do,
// or when the downloaded file carries execute permission. The first such file without a
// download under the program's own name becomes the program. In external mode it is the setup;
// external mode without one simply restarts the program and never treats the program as setup.
// Downloads that the queue names are left to the queue step, so a failed queue move never gets
// its target deleted by the folder scan.
//
// A verified queue (the program held the maker's key and checked every download against the
// signed manifest) replaces both the queue step and the folder scan: only the files it lists
// are moved, each after its digest is checked again, and no other download in any folder is
// touched. The program's file keeps its name; in external mode the setup is the first listed
// file in the program's folder, other than the program, whose name ends in "exe".
UpgradePlan PlanUpgrade(const HelperFacts& facts);

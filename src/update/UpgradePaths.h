#pragma once

#include "update/UpdateInfo.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Where the files of an upgrade go, and what the program hands to the upgrade helper.

inline constexpr char UpgradeQueueFileName[] = "UpgraderQueue.txt";
inline constexpr char UpgradeHelperFileName[] = "Upgrader4.exe";
inline constexpr char DownloadSuffix[] = ".uTMP";
// In the temporary folder while a verified upgrade runs: every download path it may write, one
// per line, so that the next start removes what a crash or a signal left behind.
inline constexpr char DownloadListFileName[] = "UpgraderDownloads.txt";
// The environment variable that tells the helper where its queue is.
inline constexpr char UpgradeQueueVariable[] = "VARNHOLT_UPGRADE_QUEUE";

// The folders the macros of a target stand for. Each ends with "/"; an empty one leaves its
// macro as written (the Windows folders that have no counterpart here).
struct UpgradeFolders {
    QString AppFolder;
    QString TempFolder;
    QString Desktop;
    QString MyDocuments;
    QString MyPictures;
    QString AppData;
    QString ProgramFiles;
    QString Windows;
    QString System;
    QString Help;
    QString Media;
    QString Cursors;
};

// The folders of this user and machine for a program in `appFolder` (ending with "/"):
// the XDG user folders, the generic data folder for application data, "/opt/" for programs,
// the program's own "system/" folder, and `tempFolder`, the program's temporary folder (the
// program's folder when empty). The Windows, help, media and cursor folders stay unexpanded.
UpgradeFolders CurrentUpgradeFolders(const QString& appFolder, const QString& tempFolder);

// Replaces every macro, in any letter case, by its folder; a result that is not an absolute
// path is taken inside AppFolder.
QString ExpandFolderMacros(const QString& text, const UpgradeFolders& folders);

struct FileEntryTarget {
    QString Url;          // the URL side
    QString Target;       // the absolute file the download replaces, "." and ".." resolved
    QString DownloadPath; // Target + ".uTMP"
    bool Named = false;   // the entry named its target (URL=target)
    QString Entry;        // the entry as written back: URL=absolute target, or the URL alone
};

// The first "=" separates URL and target; without a target the file goes into AppFolder under
// the last part of the URL.
FileEntryTarget ResolveFileEntry(const QString& entry, const UpgradeFolders& folders);

// Whether an update may write `target`: once "." and ".." are resolved it lies below one of
// `folders`, and so does every folder on its way that exists already, followed through links
// to where it really is. A target that is one of the folders itself does not count.
bool TargetInsideFolders(const QString& target, const QStringList& folders);

// Progress over all files: index (from 0) of the current file, file count, current percent.
int TotalPercentsDone(int index, int count, int percentsDone);

// The queue for the helper: one absolute target per line, CR LF after each, for the entries
// that name a target; empty when none does (no queue file is written then). `entries` are
// written-back entries (see ResolveFileEntry).
QString QueueFileText(const QStringList& entries);

// A download that was checked against the release manifest, for the helper.
struct QueuedFile {
    QString Target;    // absolute, cleaned
    QByteArray Sha256; // 32 raw bytes
};

// The queue of a verified upgrade: the line VerifiedQueueFirstLine, then one line per file, its
// absolute target, a tab and the SHA-256 of the download in hex, CR LF after each. The helper
// moves only the files such a queue lists, each after checking its digest again, and scans no
// folder (also when the queue lists nothing).
inline constexpr char VerifiedQueueFirstLine[] = "#verified";
QString VerifiedQueueText(const QList<QueuedFile>& files);

// The helper's command line: its path, the program's path, then "+" with the restart
// parameters and the method digit. Nothing is quoted: the helper joins its arguments again.
QString HelperCommandLine(const QString& helperPath, const QString& programPath,
                          const QString& restartParams, UpgradeMethod method);

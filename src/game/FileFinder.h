#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The file search: walks folder trees and reports every file whose name matches a pattern.

struct FoundFile {
    enum class Kind { File, Special }; // Special: pipe, socket or device

    QString Name;
    Kind Type = Kind::File;
    bool SymLink = false;
};

// One name pattern with "*" and "?", compared without regard to letter case. "*.*" matches
// every name, with or without a dot.
class NamePattern {
public:
    explicit NamePattern(const QString& pattern);
    // `name` holds the bytes of a file name as the file system stores them (UTF-8).
    bool matches(std::string_view name) const;
    bool matches(const QString& name) const;

private:
    bool matchAll_ = false;
    bool ascii_ = false;
    bool literal_ = false;
    std::string asciiFolded_;
    std::u32string folded_;
};

// Splits at ";", trims, drops empty and repeated entries; the order is kept.
QStringList SplitSearchList(const QString& text);
// The target folders: each entry made absolute against `currentFolder`, ending with "/";
// folders equal without regard to letter case are merged, the first one kept.
QStringList PrepareTargetFolders(const QString& location, const QString& currentFolder);
// The name patterns; no pattern at all gives "*.*".
QStringList PrepareNamePatterns(const QString& fileName);

class FileFinder {
public:
    struct Criteria {
        QString FileName; // patterns separated by ";"; empty means every name
        QString Location; // folders separated by ";"
        bool Subfolders = true;
        int MinLevel = 0; // the target folder is level 1; 0 means no limit
        int MaxLevel = 0;
    };
    using MatchEvent = std::function<void(const QString& Folder, const FoundFile& File)>;

    FileFinder();
    ~FileFinder();
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

    Criteria Search;
    // Called once per matching file, inside Run; Folder is absolute and ends with "/".
    MatchEvent OnMatch;

    // Walks every target folder to the end. A call while a search runs does nothing.
    void Run();
    bool Busy() const { return busy_; }

private:
    struct Walk;
    bool busy_ = false;
};

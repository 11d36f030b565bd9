#include "game/FileFinder.h"

#include "platform/DirectoryListing.h"

#include <QDir>
#include <QFile>
#include <memory>
#include <unordered_set>

namespace {

// Deeper than this, a folder's handle is given up once it is listed and its subfolders are
// opened by full path, so that a very deep tree cannot run out of file handles.
constexpr int HeldFolderLimit = 256;

bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// "*" takes any run of characters, "?" exactly one. Backtracks to the last "*" only, which
// is enough because a later "*" can absorb whatever an earlier one would have.
template <class Char, class Same>
bool wildcardMatch(const Char* pattern, std::size_t patternLength, const Char* name,
                   std::size_t nameLength, Same same) {
    constexpr std::size_t None = static_cast<std::size_t>(-1);
    std::size_t p = 0, n = 0, star = None, resume = 0;
    while (n < nameLength) {
        if (p < patternLength && pattern[p] == Char('*')) {
            star = p++;
            resume = n;
        } else if (p < patternLength && (pattern[p] == Char('?') || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (star != None) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == Char('*'))
        ++p;
    return p == patternLength;
}

std::u32string foldedCodePoints(const QString& text) {
    const QList<uint> ucs4 = text.toCaseFolded().toUcs4();
    return std::u32string(ucs4.begin(), ucs4.end());
}

} // namespace

NamePattern::NamePattern(const QString& pattern) {
    matchAll_ = pattern == QLatin1String("*.*") || pattern == QLatin1String("*");
    folded_ = foldedCodePoints(pattern);
    ascii_ = true;
    literal_ = true;
    for (QChar c : pattern) {
        if (c.unicode() >= 0x80)
            ascii_ = false;
        if (c == QLatin1Char('*') || c == QLatin1Char('?'))
            literal_ = false;
    }
    if (ascii_) {
        asciiFolded_.reserve(static_cast<std::size_t>(pattern.size()));
        for (QChar c : pattern)
            asciiFolded_.push_back(foldAscii(static_cast<char>(c.unicode())));
    }
}

bool NamePattern::matches(std::string_view name) const {
    if (matchAll_)
        return true;
    // Most names and patterns are plain ASCII: compare the bytes and leave the name unconverted.
    if (ascii_ && isAscii(name)) {
        if (literal_) {
            if (name.size() != asciiFolded_.size())
                return false;
            for (std::size_t i = 0; i < name.size(); ++i)
                if (foldAscii(name[i]) != asciiFolded_[i])
                    return false;
            return true;
        }
        return wildcardMatch(asciiFolded_.data(), asciiFolded_.size(), name.data(), name.size(),
                             [](char p, char n) { return p == foldAscii(n); });
    }
    return matches(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

bool NamePattern::matches(const QString& name) const {
    if (matchAll_)
        return true;
    const std::u32string folded = foldedCodePoints(name);
    return wildcardMatch(folded_.data(), folded_.size(), folded.data(), folded.size(),
                         [](char32_t p, char32_t n) { return p == n; });
}

QStringList SplitSearchList(const QString& text) {
    QStringList result;
    for (const QString& part : text.split(QLatin1Char(';'))) {
        const QString entry = part.trimmed();
        if (!entry.isEmpty() && !result.contains(entry))
            result.append(entry);
    }
    return result;
}

QStringList PrepareTargetFolders(const QString& location, const QString& currentFolder) {
    QStringList result;
    const QDir current(currentFolder);
    for (const QString& entry : SplitSearchList(location)) {
        QString folder = QDir::cleanPath(current.absoluteFilePath(entry));
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        if (!result.contains(folder, Qt::CaseInsensitive))
            result.append(folder);
    }
    return result;
}

QStringList PrepareNamePatterns(const QString& fileName) {
    QStringList patterns = SplitSearchList(fileName);
    if (patterns.isEmpty())
        patterns.append(QStringLiteral("*.*"));
    return patterns;
}

struct FileFinder::Walk {
    FileFinder& owner;
    std::vector<NamePattern> patterns;
    bool subfolders = true;
    int minLevel = 0;
    int maxLevel = 0;
    // One listing per depth, reused by sibling folders.
    std::vector<std::unique_ptr<platform::FolderListing>> listings;
    // Folders already walked from the current target: links may lead back up the tree.
    std::unordered_set<platform::FolderId, platform::FolderIdHash> visited;
    // Bytes of the folder being walked, ending with "/".
    std::string path;

    platform::FolderListing& listingAt(int depth) {
        const auto index = static_cast<std::size_t>(depth);
        while (listings.size() <= index)
            listings.push_back(std::make_unique<platform::FolderListing>());
        return *listings[index];
    }

    void run(const QString& target) {
        visited.clear();
        path = QFile::encodeName(target).toStdString();
        platform::OpenFolder folder;
        if (!folder.open(path))
            return;
        visited.insert(folder.id());
        walk(folder, 1);
    }

    void walk(platform::OpenFolder& folder, int depth) {
        platform::FolderListing& listing = listingAt(depth);
        if (!folder.list(listing))
            return;
        if (minLevel == 0 || depth >= minLevel)
            reportFiles(listing);
        if (!subfolders || (maxLevel != 0 && depth >= maxLevel))
            return;

        const bool holdParent = depth < HeldFolderLimit;
        if (!holdParent)
            folder.close();
        const std::size_t base = path.size();
        for (const platform::ListedEntry& entry : listing.entries()) {
            if (entry.kind != platform::EntryKind::Folder)
                continue;
            path.append(listing.name(entry));
            path.push_back('/');
            platform::OpenFolder child;
            const bool opened =
                holdParent ? child.openChild(folder, listing.cName(entry)) : child.open(path);
            if (opened && visited.insert(child.id()).second)
                walk(child, depth + 1);
            path.resize(base);
        }
    }

    // Pattern by pattern, each over the whole listing: the order a per-pattern listing gives.
    void reportFiles(const platform::FolderListing& listing) {
        QString folderText;
        for (const NamePattern& pattern : patterns) {
            for (const platform::ListedEntry& entry : listing.entries()) {
                if (entry.kind != platform::EntryKind::File &&
                    entry.kind != platform::EntryKind::Special)
                    continue;
                const std::string_view name = listing.name(entry);
                if (!pattern.matches(name))
                    continue;
                if (!owner.OnMatch)
                    continue;
                if (folderText.isNull())
                    folderText =
                        QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
                FoundFile info;
                info.Name = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
                info.Type = entry.kind == platform::EntryKind::File ? FoundFile::Kind::File
                                                                    : FoundFile::Kind::Special;
                info.SymLink = entry.symLink;
                owner.OnMatch(folderText, info);
            }
        }
    }
};

FileFinder::FileFinder() = default;
FileFinder::~FileFinder() = default;

void FileFinder::Run() {
    if (busy_)
        return;
    busy_ = true;
    // A handler may throw; the component must be usable again afterwards.
    struct Idle {
        bool& busy;
        ~Idle() { busy = false; }
    } idle{busy_};

    const Criteria files = Search;
    Walk walk{*this, {}, files.Subfolders, files.MinLevel, files.MaxLevel, {}, {}, {}};
    for (const QString& pattern : PrepareNamePatterns(files.FileName))
        walk.patterns.emplace_back(pattern);
    for (const QString& target : PrepareTargetFolders(files.Location, QDir::currentPath()))
        walk.run(target);
}

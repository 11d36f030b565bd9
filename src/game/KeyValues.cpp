#include "game/KeyValues.h"

#include <algorithm>

namespace {

enum class TokenKind { End, Text, Open, Close };

struct Token {
    TokenKind kind = TokenKind::End;
    QString text;
    int line = 0;
};

class Tokenizer {
public:
    explicit Tokenizer(const QString& text) : text_(text) {}

    // The next token, conditions skipped; nothing (with `error` set) on a damaged token.
    std::optional<Token> Next(KvError& error) {
        for (;;) {
            skipBlanksAndComments();
            if (pos_ >= text_.size())
                return Token{TokenKind::End, {}, line_};
            const QChar c = text_[pos_];
            if (c == QLatin1Char('{') || c == QLatin1Char('}')) {
                ++pos_;
                return Token{c == QLatin1Char('{') ? TokenKind::Open : TokenKind::Close, {}, line_};
            }
            if (c == QLatin1Char('"'))
                return quoted(error);
            if (c == QLatin1Char('[')) {
                if (!skipCondition(error))
                    return std::nullopt;
                continue;
            }
            return unquoted();
        }
    }

private:
    static bool isBlank(QChar c) { return c.isSpace() || c == QChar(0); }

    void skipBlanksAndComments() {
        while (pos_ < text_.size()) {
            const QChar c = text_[pos_];
            if (c == QLatin1Char('\n')) {
                ++line_;
                ++pos_;
            } else if (isBlank(c)) {
                ++pos_;
            } else if (c == QLatin1Char('/') && pos_ + 1 < text_.size() &&
                       text_[pos_ + 1] == QLatin1Char('/')) {
                while (pos_ < text_.size() && text_[pos_] != QLatin1Char('\n'))
                    ++pos_;
            } else {
                return;
            }
        }
    }

    std::optional<Token> quoted(KvError& error) {
        const int startLine = line_;
        ++pos_;
        QString value;
        while (pos_ < text_.size()) {
            const QChar c = text_[pos_];
            if (c == QLatin1Char('"')) {
                ++pos_;
                return Token{TokenKind::Text, value, startLine};
            }
            if (c == QLatin1Char('\\') && pos_ + 1 < text_.size()) {
                const QChar next = text_[pos_ + 1];
                if (next == QLatin1Char('"') || next == QLatin1Char('\\')) {
                    value += next;
                    pos_ += 2;
                    continue;
                }
                if (next == QLatin1Char('n') || next == QLatin1Char('t')) {
                    value += next == QLatin1Char('n') ? QLatin1Char('\n') : QLatin1Char('\t');
                    pos_ += 2;
                    continue;
                }
            }
            if (c == QLatin1Char('\n'))
                ++line_;
            value += c;
            ++pos_;
        }
        error = {startLine, QStringLiteral("unterminated string")};
        return std::nullopt;
    }

    Token unquoted() {
        const qsizetype start = pos_;
        while (pos_ < text_.size()) {
            const QChar c = text_[pos_];
            if (isBlank(c) || c == QLatin1Char('"') || c == QLatin1Char('{') ||
                c == QLatin1Char('}'))
                break;
            ++pos_;
        }
        return Token{TokenKind::Text, text_.mid(start, pos_ - start), line_};
    }

    // "[$WIN32]", "[!$X360 && $OSX]": a condition on the line's entry, ignored here.
    bool skipCondition(KvError& error) {
        while (pos_ < text_.size() && text_[pos_] != QLatin1Char('\n')) {
            if (text_[pos_++] == QLatin1Char(']'))
                return true;
        }
        error = {line_, QStringLiteral("unterminated condition")};
        return false;
    }

    const QString& text_;
    qsizetype pos_ = 0;
    int line_ = 1;
};

QString decode(const QByteArray& bytes) {
    static const QByteArray bom("\xEF\xBB\xBF");
    return QString::fromUtf8(bytes.startsWith(bom) ? bytes.mid(bom.size()) : bytes);
}

} // namespace

namespace {

// Calls `visit` on each entry directly in `block`, in file order, until it returns true;
// that entry's index, or -1.
template <class Visit> int eachChild(const std::vector<KvEntry>& entries, int block, Visit visit) {
    const int size = static_cast<int>(entries.size());
    const int last = block < 0 ? size : std::min(size, entries[static_cast<size_t>(block)].end);
    for (int i = block + 1; i < last;) {
        const KvEntry& entry = entries[static_cast<size_t>(i)];
        if (visit(i, entry))
            return i;
        i = std::max(i + 1, entry.end);
    }
    return -1;
}

} // namespace

std::vector<int> KeyValues::Children(int block) const {
    std::vector<int> found;
    eachChild(entries, block, [&](int i, const KvEntry&) {
        found.push_back(i);
        return false;
    });
    return found;
}

int KeyValues::Find(int block, const QString& name) const {
    return eachChild(entries, block, [&](int, const KvEntry& entry) {
        return entry.key.compare(name, Qt::CaseInsensitive) == 0;
    });
}

int KeyValues::FindBlock(int block, const QString& name) const {
    return eachChild(entries, block, [&](int, const KvEntry& entry) {
        return entry.block && entry.key.compare(name, Qt::CaseInsensitive) == 0;
    });
}

std::optional<QString> KeyValues::Value(int block, const QString& name) const {
    const int found = eachChild(entries, block, [&](int, const KvEntry& entry) {
        return !entry.block && entry.key.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (found < 0)
        return std::nullopt;
    return entries[static_cast<size_t>(found)].value;
}

KvParse ParseKeyValues(const QByteArray& bytes, const KvLimits& limits) {
    KvParse result;
    auto fail = [&result](int line, const QString& what) {
        result.tree.entries.clear();
        result.error = KvError{line, what};
        return result;
    };
    if (bytes.size() > limits.maxBytes)
        return fail(0, QStringLiteral("larger than %1 bytes").arg(limits.maxBytes));

    const QString text = decode(bytes);
    Tokenizer tokens(text);
    std::vector<int> open; // the blocks not yet closed, innermost last
    std::vector<KvEntry>& entries = result.tree.entries;
    KvError error;
    for (;;) {
        const std::optional<Token> key = tokens.Next(error);
        if (!key)
            return fail(error.line, error.what);
        if (key->kind == TokenKind::End) {
            if (!open.empty()) {
                const KvEntry& block = entries[static_cast<size_t>(open.back())];
                return fail(block.line,
                            QStringLiteral("block \"%1\" is not closed").arg(block.key));
            }
            return result;
        }
        if (key->kind == TokenKind::Close) {
            if (open.empty())
                return fail(key->line, QStringLiteral("closing brace without an opening one"));
            entries[static_cast<size_t>(open.back())].end = static_cast<int>(entries.size());
            open.pop_back();
            continue;
        }
        if (key->kind == TokenKind::Open)
            return fail(key->line, QStringLiteral("opening brace where a name belongs"));

        const std::optional<Token> value = tokens.Next(error);
        if (!value)
            return fail(error.line, error.what);
        if (value->kind == TokenKind::End || value->kind == TokenKind::Close)
            return fail(key->line, QStringLiteral("\"%1\" has no value").arg(key->text));
        KvEntry entry;
        entry.key = key->text;
        entry.parent = open.empty() ? -1 : open.back();
        entry.line = key->line;
        entry.end = static_cast<int>(entries.size()) + 1;
        if (value->kind == TokenKind::Open) {
            if (static_cast<int>(open.size()) >= limits.maxDepth)
                return fail(key->line,
                            QStringLiteral("blocks nested deeper than %1").arg(limits.maxDepth));
            entry.block = true;
            entries.push_back(std::move(entry));
            open.push_back(static_cast<int>(entries.size()) - 1);
        } else {
            entry.value = value->text;
            entries.push_back(std::move(entry));
        }
    }
}

QString KvErrorText(const QString& file, const KvError& error) {
    if (error.line <= 0)
        return QStringLiteral("Cannot read \"%1\": %2.").arg(file, error.what);
    return QStringLiteral("Cannot read \"%1\": line %2: %3.")
        .arg(file)
        .arg(error.line)
        .arg(error.what);
}

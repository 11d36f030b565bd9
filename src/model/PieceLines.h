#pragma once

#include <QString>
#include <cstddef>
#include <cstring>
#include <string>

// Cuts text fed in pieces of any size into lines (without their "\n"), so that a long file is
// never held whole: only the start of a line cut by a piece's end is kept. The first failure
// ends the cutting: a line longer than its limit, more text than the limit of the whole, or
// what the reader of the lines found wrong (Fail()).
class PieceLines {
public:
    // `whole` names the text in the reason for one too large ("the log").
    PieceLines(std::size_t maxLine, std::size_t maxBytes, const char* whole)
        : maxLine_(maxLine), maxBytes_(maxBytes), whole_(whole) {}

    // Hands each whole line of the piece to `line(begin, end)`.
    template <class Line> void Feed(const char* data, std::size_t size, Line&& line) {
        if (failed_)
            return;
        const Outcome outcome = cut(data, size, line);
        if (outcome == Outcome::TooLarge)
            Fail(QStringLiteral("%1 is larger than %2 bytes")
                     .arg(QLatin1String(whole_))
                     .arg(maxBytes_));
        else if (outcome == Outcome::TooLong)
            Fail(QStringLiteral("line %1 is too long").arg(lines_ + 1));
    }

    // The last line, when the text did not end with "\n".
    template <class Line> void Finish(Line&& line) {
        if (failed_ || carry_.empty())
            return;
        std::string last;
        last.swap(carry_);
        ++lines_;
        line(last.data(), last.data() + last.size());
    }

    // Ends the cutting; the first reason is kept.
    void Fail(const QString& why) {
        if (failed_)
            return;
        failed_ = true;
        problem_ = why;
        carry_ = {};
    }
    bool Failed() const { return failed_; }
    const QString& Problem() const { return problem_; }

private:
    enum class Outcome { Going, Stopped, TooLong, TooLarge };

    template <class Line> Outcome cut(const char* data, std::size_t size, Line& line) {
        bytes_ += size;
        if (bytes_ > maxBytes_)
            return drop(Outcome::TooLarge);
        const char* at = data;
        const char* const end = data + size;
        while (at < end) {
            const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
            const char* lineEnd = found ? static_cast<const char*>(found) : end;
            if (carry_.size() + static_cast<std::size_t>(lineEnd - at) > maxLine_)
                return drop(Outcome::TooLong);
            if (!found) {
                carry_.append(at, end);
                return Outcome::Going;
            }
            ++lines_;
            if (carry_.empty()) {
                line(at, lineEnd);
            } else {
                carry_.append(at, lineEnd);
                line(carry_.data(), carry_.data() + carry_.size());
                carry_.clear();
            }
            if (failed_)
                return drop(Outcome::Stopped);
            at = lineEnd + 1;
        }
        return Outcome::Going;
    }

    Outcome drop(Outcome outcome) {
        carry_ = {};
        return outcome;
    }

    std::size_t maxLine_;
    std::size_t maxBytes_;
    const char* whole_;
    std::size_t bytes_ = 0;
    std::size_t lines_ = 0; // handed on so far
    std::string carry_;
    bool failed_ = false;
    QString problem_;
};

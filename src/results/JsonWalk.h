#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <initializer_list>
#include <utility>

// Reading JSON text (RFC 8259) in one pass, keeping only what the caller asks for, so that the
// memory a read takes follows what is kept, not the size of the text. Pure: no I/O, no state
// beyond the one walk. Nesting is bounded by the depth the walk is made with.

// A value as the walk keeps it: its kind, and its content when it is a number or a text.
// Lists and objects are stepped over, never held.
struct JsonKept {
    enum Kind { Absent, Null, Boolean, Number, Text, List, Object } kind = Absent;
    double number = 0; // a Boolean: 1 for true
    QString text;
};

// Why the text is not JSON, and at which byte the walk stood.
struct JsonSyntaxError {
    QString what;
    qsizetype at = 0;
};

// Every step throws JsonSyntaxError at the first fault, and when lists and objects nest more
// than maxDepth deep.
class JsonWalk {
public:
    JsonWalk(const QByteArray& bytes, int maxDepth)
        : begin_(bytes.constData()), p_(begin_), end_(begin_ + bytes.size()), maxDepth_(maxDepth) {}

    // The first character of what comes next, white space skipped; '\0' at the end.
    char Peek() {
        blanks();
        return peek();
    }

    // Any value; its kind and content go to `keep` when given.
    void Value(JsonKept* keep);

    // An object; `member(name)` reads each member's value.
    template <class Member> void Object(Member member) {
        enter();
        expect('{', "object expected");
        if (Peek() == '}') {
            ++p_;
            --depth_;
            return;
        }
        for (;;) {
            if (Peek() != '"')
                fail(QStringLiteral("missing name of a member"));
            QString name;
            string(&name);
            expect(':', "missing name separator");
            member(name);
            if (Peek() == ',') {
                ++p_;
                continue;
            }
            expect('}', "unterminated object");
            --depth_;
            return;
        }
    }

    // A list; `element(index)` reads each element.
    template <class Element> void List(Element element) {
        enter();
        expect('[', "list expected");
        if (Peek() == ']') {
            ++p_;
            --depth_;
            return;
        }
        for (qsizetype index = 0;; ++index) {
            element(index);
            if (Peek() == ',') {
                ++p_;
                continue;
            }
            expect(']', "unterminated list");
            --depth_;
            return;
        }
    }

    using KeptMembers = std::initializer_list<std::pair<const char*, JsonKept*>>;

    // An object: the members named in `kept` into their places (a later member of a name
    // replaces an earlier one), the others through `other(name)`, which says whether it read
    // the value; what nobody reads is passed over.
    template <class Other> void Members(KeptMembers kept, Other other) {
        Object([&](const QString& name) {
            for (const auto& [keptName, keep] : kept)
                if (name == QLatin1StringView(keptName)) {
                    Value(keep);
                    return;
                }
            if (!other(name))
                Value(nullptr);
        });
    }

    // The end of the text: nothing but white space may be left.
    void End();

private:
    [[noreturn]] void fail(const QString& what) const { throw JsonSyntaxError{what, p_ - begin_}; }
    char peek() const { return p_ < end_ ? *p_ : '\0'; }
    void blanks() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r'))
            ++p_;
    }
    void expect(char c, const char* what) {
        if (Peek() != c)
            fail(QString::fromLatin1(what));
        ++p_;
    }
    void enter() {
        if (++depth_ > maxDepth_)
            fail(QStringLiteral("nested too deep"));
    }

    void word(const char* text);
    double number();
    // A string; decoded into `out` when given, else only checked.
    void string(QString* out);
    char32_t hex4();
    // Steps over one UTF-8 encoded character, refusing what is not UTF-8.
    void utf8Sequence();

    const char* begin_;
    const char* p_;
    const char* end_;
    int maxDepth_;
    int depth_ = 0;
};

// The deepest nesting of arrays and objects in JSON text, counted outside strings; stops
// counting once `limit` is passed (and returns a value above it). A check before a walk, so
// that text nested far too deep is refused without being walked.
int JsonNestingDepth(const QByteArray& bytes, int limit);

#include "results/JsonWalk.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Walks a whole text as one value, kept.
JsonKept walkValue(const QByteArray& text, int maxDepth = 8) {
    JsonWalk walk(text, maxDepth);
    JsonKept kept;
    walk.Value(&kept);
    walk.End();
    return kept;
}

// The fault a text is refused with, or "" when it walks.
std::pair<QString, qsizetype> fault(const QByteArray& text, int maxDepth = 8) {
    try {
        walkValue(text, maxDepth);
    } catch (const JsonSyntaxError& e) {
        return {e.what, e.at};
    }
    return {QString(), -1};
}

TEST(JsonWalk, KeepsTheKindAndContentOfEachValue) {
    struct Case {
        const char* text;
        JsonKept::Kind kind;
        double number;
        const char* utf8;
    } const cases[] = {
        {"null", JsonKept::Null, 0, ""},
        {" true ", JsonKept::Boolean, 1, ""},
        {"false", JsonKept::Boolean, 0, ""},
        {"-12.5e1", JsonKept::Number, -125, ""},
        {"0", JsonKept::Number, 0, ""},
        {"1E-2", JsonKept::Number, 0.01, ""},
        {"\"plain\"", JsonKept::Text, 0, "plain"},
        {R"("a\"b\\c\/d\n\t")", JsonKept::Text, 0, "a\"b\\c/d\n\t"},
        {R"("\u00e9\u20AC")", JsonKept::Text, 0, "\xc3\xa9\xe2\x82\xac"},
        {R"("\ud83d\ude00")", JsonKept::Text, 0, "\xf0\x9f\x98\x80"}, // a surrogate pair
        {R"("\ud83dx")", JsonKept::Text, 0, "\xef\xbf\xbdx"},         // a lone one: U+FFFD
        {"\"\xc3\xa9\"", JsonKept::Text, 0, "\xc3\xa9"},
        {"[1, [2], {}]", JsonKept::List, 0, ""},
        {"{\"a\": {\"b\": []}}", JsonKept::Object, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const JsonKept kept = walkValue(c.text);
        EXPECT_EQ(kept.kind, c.kind);
        EXPECT_DOUBLE_EQ(kept.number, c.number);
        EXPECT_EQ(kept.text, QString::fromUtf8(c.utf8));
    }
}

TEST(JsonWalk, NumbersBeyondADoubleAreInfiniteAndBelowItZero) {
    EXPECT_TRUE(std::isinf(walkValue("1e400").number));
    EXPECT_LT(walkValue("-1e400").number, 0);
    EXPECT_EQ(walkValue("1e-400").number, 0.0);
    EXPECT_TRUE(std::signbit(walkValue("-1e-400").number));
}

TEST(JsonWalk, RefusesWhatIsNotJsonSayingWhatAndWhere) {
    struct Case {
        const char* name;
        QByteArray text;
        const char* what;
        qsizetype at;
    } const cases[] = {
        {"empty", "", "illegal value", 0},
        {"garbage after the value", "{} x", "garbage at the end of the document", 3},
        {"a bare word", "nul", "illegal value", 0},
        {"a leading plus", "+1", "illegal value", 0},
        {"a point without digits", "1.", "illegal number", 2},
        {"an exponent without digits", "1e+", "illegal number", 3},
        {"an object cut short", "{\"a\": 1", "unterminated object", 7},
        {"a list cut short", "[1, 2", "unterminated list", 5},
        {"a member without a name", "{1: 2}", "missing name of a member", 1},
        {"a member without a colon", "{\"a\" 2}", "missing name separator", 5},
        {"a string cut short", "\"abc", "unterminated string", 4},
        {"a control character in a string", "\"a\tb\"", "illegal character in a string", 2},
        {"an unknown escape", R"("\x")", "illegal escape sequence", 3},
        {"a short \\u escape", R"("\u12")", "illegal escape sequence", 3},
        {"an overlong UTF-8 form", "\"\xc0\xaf\"", "illegal UTF-8 string", 1},
        {"an encoded surrogate", "\"\xed\xa0\x80\"", "illegal UTF-8 string", 1},
        {"a UTF-8 sequence cut short", "\"\xe2\x82", "illegal UTF-8 string", 1},
        {"nested past the depth", "[[[[]]]]", "nested too deep", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [what, at] = fault(c.text, 3);
        EXPECT_EQ(what, QLatin1String(c.what));
        EXPECT_EQ(at, c.at);
    }
    EXPECT_EQ(fault("[[[]]]", 3).first, QString()) << "the depth itself is allowed";
}

TEST(JsonWalk, MembersGoToTheirPlacesTheRestToTheCallerOrPassedOver) {
    const QByteArray text = R"({"a": 1, "skip": {"deep": [1, 2]}, "b": "x", "rows": [10, 20],
                               "a": 2})";
    JsonWalk walk(text, 8);
    JsonKept a, b;
    std::vector<double> rows;
    QStringList others;
    walk.Members({{"a", &a}, {"b", &b}}, [&](const QString& name) {
        others.append(name);
        if (name != QLatin1String("rows"))
            return false;
        walk.List([&](qsizetype) {
            JsonKept element;
            walk.Value(&element);
            rows.push_back(element.number);
        });
        return true;
    });
    walk.End();
    EXPECT_EQ(a.number, 2) << "a later member of the same name replaces an earlier one";
    EXPECT_EQ(b.text, QStringLiteral("x"));
    EXPECT_EQ(rows, (std::vector<double>{10, 20}));
    EXPECT_EQ(others, (QStringList{"skip", "rows"}));
}

TEST(JsonWalk, NestingIsCountedOutsideStringsOnly) {
    EXPECT_EQ(JsonNestingDepth("{\"a\": [1, {\"b\": []}]}", 10), 4);
    EXPECT_EQ(JsonNestingDepth("{\"a\": \"[[[[\\\"[[\"}", 10), 1);
    EXPECT_EQ(JsonNestingDepth("]]]{", 10), 1);
    EXPECT_EQ(JsonNestingDepth(QByteArray(100, '['), 8), 9) << "stops once past the limit";
}

} // namespace

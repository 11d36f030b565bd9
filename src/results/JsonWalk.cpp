#include "results/JsonWalk.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

void JsonWalk::Value(JsonKept* keep) {
    blanks();
    JsonKept ignored;
    JsonKept& kept = keep ? *keep : ignored;
    kept = JsonKept{};
    switch (peek()) {
    case '{':
        kept.kind = JsonKept::Object;
        Object([&](const QString&) { Value(nullptr); });
        return;
    case '[':
        kept.kind = JsonKept::List;
        List([&](qsizetype) { Value(nullptr); });
        return;
    case '"':
        kept.kind = JsonKept::Text;
        string(keep ? &kept.text : nullptr);
        return;
    case 't':
        word("true");
        kept.kind = JsonKept::Boolean;
        kept.number = 1;
        return;
    case 'f':
        word("false");
        kept.kind = JsonKept::Boolean;
        return;
    case 'n':
        word("null");
        kept.kind = JsonKept::Null;
        return;
    default:
        kept.kind = JsonKept::Number;
        kept.number = number();
    }
}

void JsonWalk::word(const char* text) {
    const qsizetype n = qsizetype(std::strlen(text));
    if (end_ - p_ < n || std::memcmp(p_, text, size_t(n)) != 0)
        fail(QStringLiteral("illegal value"));
    p_ += n;
}

double JsonWalk::number() {
    const char* start = p_;
    const auto digits = [this] {
        const char* from = p_;
        while (p_ < end_ && *p_ >= '0' && *p_ <= '9')
            ++p_;
        return p_ - from;
    };
    if (peek() == '-')
        ++p_;
    if (peek() == '0')
        ++p_;
    else if (digits() == 0)
        fail(QStringLiteral("illegal value"));
    if (peek() == '.') {
        ++p_;
        if (digits() == 0)
            fail(QStringLiteral("illegal number"));
    }
    if (peek() == 'e' || peek() == 'E') {
        ++p_;
        if (peek() == '+' || peek() == '-')
            ++p_;
        if (digits() == 0)
            fail(QStringLiteral("illegal number"));
    }
    // Read as the C locale writes it, whatever the user's locale. Beyond the range of a
    // double it is no finite number (which the checks refuse); below it, zero.
    double number = 0;
    const std::from_chars_result read = std::from_chars(start, p_, number);
    if (read.ec == std::errc::result_out_of_range) {
        const char* e = std::find_if(start, p_, [](char c) { return c == 'e' || c == 'E'; });
        const bool tiny = e != p_ && e + 1 != p_ && e[1] == '-';
        const bool negative = *start == '-';
        number = tiny ? (negative ? -0.0 : 0.0)
                      : (negative ? -std::numeric_limits<double>::infinity()
                                  : std::numeric_limits<double>::infinity());
    } else if (read.ec != std::errc() || read.ptr != p_) {
        fail(QStringLiteral("illegal number"));
    }
    return number;
}

void JsonWalk::string(QString* out) {
    ++p_; // the opening quote
    QByteArray utf8;
    const auto add = [&](const char* from, const char* to) {
        if (out)
            utf8.append(from, to - from);
    };
    const auto addCode = [&](char32_t code) {
        if (out)
            utf8 += QString::fromUcs4(&code, 1).toUtf8();
    };
    for (;;) {
        const char* run = p_;
        while (p_ < end_ && *p_ != '"' && *p_ != '\\' && static_cast<unsigned char>(*p_) >= 0x20)
            utf8Sequence();
        add(run, p_);
        if (p_ >= end_)
            fail(QStringLiteral("unterminated string"));
        if (*p_ == '"') {
            ++p_;
            break;
        }
        if (*p_ != '\\')
            fail(QStringLiteral("illegal character in a string"));
        ++p_;
        if (p_ >= end_)
            fail(QStringLiteral("unterminated string"));
        const char c = *p_++;
        switch (c) {
        case '"':
        case '\\':
        case '/':
            add(p_ - 1, p_);
            break;
        case 'b':
            addCode('\b');
            break;
        case 'f':
            addCode('\f');
            break;
        case 'n':
            addCode('\n');
            break;
        case 'r':
            addCode('\r');
            break;
        case 't':
            addCode('\t');
            break;
        case 'u': {
            char32_t code = hex4();
            if (code >= 0xD800 && code < 0xDC00 && end_ - p_ >= 6 && p_[0] == '\\' &&
                p_[1] == 'u') {
                const char* back = p_;
                p_ += 2;
                const char32_t low = hex4();
                if (low >= 0xDC00 && low < 0xE000)
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                else
                    p_ = back;
            }
            addCode(code >= 0xD800 && code < 0xE000 ? char32_t(0xFFFD) : code);
            break;
        }
        default:
            fail(QStringLiteral("illegal escape sequence"));
        }
    }
    if (out)
        *out = QString::fromUtf8(utf8);
}

char32_t JsonWalk::hex4() {
    if (end_ - p_ < 4)
        fail(QStringLiteral("illegal escape sequence"));
    char32_t code = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = *p_++;
        code <<= 4;
        if (c >= '0' && c <= '9')
            code |= char32_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            code |= char32_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            code |= char32_t(c - 'A' + 10);
        else
            fail(QStringLiteral("illegal escape sequence"));
    }
    return code;
}

void JsonWalk::utf8Sequence() {
    const auto byte = [](char c) { return static_cast<unsigned char>(c); };
    const unsigned char lead = byte(*p_);
    if (lead < 0x80) {
        ++p_;
        return;
    }
    int more = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        code = lead & 0x07;
    } else {
        fail(QStringLiteral("illegal UTF-8 string"));
    }
    if (end_ - p_ <= more)
        fail(QStringLiteral("illegal UTF-8 string"));
    for (int i = 1; i <= more; ++i) {
        if ((byte(p_[i]) & 0xC0) != 0x80)
            fail(QStringLiteral("illegal UTF-8 string"));
        code = (code << 6) | (byte(p_[i]) & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (code < least[more] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
        fail(QStringLiteral("illegal UTF-8 string"));
    p_ += more + 1;
}

void JsonWalk::End() {
    blanks();
    if (p_ != end_)
        fail(QStringLiteral("garbage at the end of the document"));
}

int JsonNestingDepth(const QByteArray& bytes, int limit) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : bytes) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit)
                return deepest;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

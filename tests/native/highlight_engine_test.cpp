// The rule table against the rule loop it stands in for, pattern shape by pattern shape, on
// random text that the highlighters' blocks never hold too (LF). Whole rule lists and the
// multi-line string pass are held against the loop through the module, in
// tests/test_native_highlighting.py and test_highlighters.py.
#include "code_editing/highlight_engine.hpp"

#include <gtest/gtest.h>

#include <random>

using namespace shared_ui::highlight;

namespace {

// Pieces that make the shapes the engine knows meet their edge cases: escapes, signs before
// digits, suffixes, exponents, boundaries against the characters beside the word ranges, against
// non-ASCII and non-BMP characters, LF.
const char16_t *const kPieces[] = {
    u"def", u"class", u"self", u" ",   u"\t",   u"\"",     u"'",      u"\\",      u"#",
    u"--",  u"-",     u"+",    u"1",   u"07",   u"0x1Fa",  u"1.5e-3", u"l",       u"L",
    u".",   u"col[",  u"]",    u"___", u"_",    u"SUM(",   u"A.B",    u"(",       u")",
    u"==",  u"<=",    u"<>",   u"=",   u"/",    u"e",      u"IS",     u"IS NULL", u"NULL",
    u"é",   u"😀",     u"\n",   u"x",   u"9",    u"E",      u"Z",      u"z",       u"@",
    u"`",   u"[",     u"{",    u":",   u"\x80", u"\"\"\"", u"and",    u"True"};

const QString kHigh(QChar(0xD83D)), kLow(QChar(0xDE00));
// Longer than any keyword the highlighters know: the keyword set files such words apart.
const QString kLongWord("a_keyword_longer_than_two_dozen_letters");

// Texts the loop treats specially: Qt refuses a subject with a lone surrogate (a pair is fine),
// and PCRE2 runs out of stack on a quoted string with more than about 13,000 escapes (with its
// JIT; without it, it matches), also when LF ends the attempt before the closing quote.
const QString kSpecialTexts[] = {
    "SUM(1) \"a\" " + kHigh,
    kLow + "x = 1",
    "x " + kHigh + kLow + " SUM(2)",
    "\"" + QString("\\x").repeated(14000) + "\" \"b\" 1",
    "\"" + QString("\\x").repeated(1100) + "\" \"b\" 1",
    "\"" + QString("\\\"").repeated(1100) + "\\\n\"b\" 1",
    "\"" + QString("\\x").repeated(14000) + "\\\n\"b\" 1",
    "'" + QString("\\'").repeated(14000),
    kLongWord + " " + kLongWord + "z",
};

QString random_text(std::mt19937 &rng, int pieces) {
    std::uniform_int_distribution<size_t> pick(0, std::size(kPieces) - 1);
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += QString::fromStdU16String(kPieces[pick(rng)]);
    return text;
}

struct Shape {
    Rule rule;
    int fallbacks; // 1 when the rule stays a general regular expression
};

void PrintTo(const Shape &s, std::ostream *os) {
    *os << s.rule.pattern.toStdString();
}

// Every shape the engine knows, each over a rule before it that it must override (one that
// colours nearly everything with few matches: the rule loop pays for every match).
const Shape kShapes[] = {
    {{R"(\bdef\b\s*(\w+))", 1, 1}, 0},
    {{R"(\bclass\b\s*(\w+))", 1, 1}, 0},
    {{R"("[^"\\]*(\\.[^"\\]*)*")", 0, 1}, 0},
    {{R"('[^'\\]*(\\.[^'\\]*)*')", 0, 1}, 0},
    {{R"(#[^\n]*)", 0, 1}, 0},
    {{R"(--[^\n]*)", 0, 1}, 0},
    {{R"(\b[+-]?[0-9]+[lL]?\b)", 0, 1}, 0},
    {{R"(\b[+-]?0[xX][0-9A-Fa-f]+[lL]?\b)", 0, 1}, 0},
    {{R"(\b[+-]?[0-9]+(?:\.[0-9]+)?(?:[eE][+-]?[0-9]+)?\b)", 0, 1}, 0},
    {{R"(\bcol\[.+\])", 0, 1}, 0},
    {{R"(___.+___)", 0, 1}, 0},
    {{R"(\b[A-Z]+[A-Z0-9\.\_]*\()", 0, 1}, 0},
    {{R"(\bIS NULL\b)", 0, 1}, 0},
    {{R"(\bSUM\()", 0, 1}, 0},
    {{R"(\bself\b)", 0, 1}, 0},
    {{R"(\b)" + kLongWord + R"(\b)", 0, 1}, 0},
    {{R"(\')", 0, 1}, 0},
    {{R"(\bé\b)", 0, 1}, 0},
    {{QString(QChar(0x80)), 0, 1}, 0},
    // A wildcard, an empty alternative, an invalid pattern, half of a surrogate pair (invalid
    // to Qt as well): these stay regular expressions.
    {{R"(\bA.B\()", 0, 1}, 1},
    {{R"(\b|x)", 0, 1}, 1},
    {{"(", 0, 1}, 1},
    {{kHigh, 0, 1}, 1},
};

} // namespace

class RuleTableTest : public testing::TestWithParam<Shape> {};

TEST_P(RuleTableTest, PaintsWhatTheRuleLoopPaints) {
    const std::vector<Rule> rules{{R"([^"]+)", 0, 3}, GetParam().rule};
    const RuleTable table(rules);
    EXPECT_EQ(table.fallback_count(), GetParam().fallbacks + 1);
    std::mt19937 rng(7);
    FormatMap fast, reference;
    const int special = int(std::size(kSpecialTexts));
    for (int i = 0; i < special + 4000; ++i) {
        const QString text = i < special ? kSpecialTexts[i] : random_text(rng, 1 + i % 40);
        table.paint(text, fast);
        paint_reference(rules, text, reference);
        ASSERT_EQ(fast, reference) << text.left(60).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, RuleTableTest, testing::ValuesIn(kShapes));

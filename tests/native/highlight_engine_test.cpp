// The rule table against the rule loop it stands in for, pattern shape by pattern shape, on
// random text that the highlighters' blocks never hold too (LF), and on what the engine fuzzer
// (highlight_engine_fuzzer.cpp) found. Whole rule lists and the multi-line string pass are held
// against the loop through the module, in tests/test_native_highlighting.py and
// test_highlighters.py, and by the fuzzer.
#include "highlight_engine_cases.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string_view>

using namespace shared_ui::highlight;
using namespace shared_ui::highlight::cases;
using namespace std::literals;

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

} // namespace

class RuleTableTest : public testing::TestWithParam<Shape> {};

TEST_P(RuleTableTest, PaintsWhatTheRuleLoopPaints) {
    const std::vector<Rule> rules{{R"([^"]+)", 0, 3}, GetParam().rule};
    const RuleTable table(rules);
    EXPECT_EQ(table.fallback_count(), GetParam().fallbacks + 1);
    std::mt19937 rng(7);
    const RuleLoop loop(rules);
    FormatMap fast, reference;
    const int special = int(std::size(kSpecialTexts));
    for (int i = 0; i < special + 4000; ++i) {
        const QString text = i < special ? kSpecialTexts[i] : random_text(rng, 1 + i % 40);
        table.paint(text, fast);
        loop.paint(text, reference);
        ASSERT_EQ(fast, reference) << text.left(60).toStdString();
    }
}

namespace shared_ui::highlight::cases {
void PrintTo(const Shape &s, std::ostream *os) {
    *os << s.rule.pattern.toStdString();
}
void PrintTo(const Finding &f, std::ostream *os) {
    *os << f.block().text.toStdString();
}
} // namespace shared_ui::highlight::cases

// Each shape over a rule before it that it must override (one that colours nearly everything
// with few matches: the rule loop pays for every match).
INSTANTIATE_TEST_SUITE_P(Shapes, RuleTableTest, testing::ValuesIn(kShapes));

// Blocks the engine fuzzer found coloured otherwise than by the loops, a row each as
// `scripts/run fuzz-engine` prints it: the rules that still differ, the block's text, the
// multi-line string pass (or none) and the state the block before left.
const std::vector<Finding> kFindings = {};

class FindingTest : public testing::TestWithParam<Finding> {};

TEST_P(FindingTest, ColoursAsTheLoops) {
    const Block block = GetParam().block();
    const Colouring fast = colour(RuleTable(block.rules), block);
    const Colouring loop = colour_by_loop(RuleLoop(block.rules), block);
    EXPECT_EQ(fast.formats, loop.formats);
    EXPECT_EQ(fast.state, loop.state);
}

// Rows come only from findings, so the table may well be empty.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FindingTest);
INSTANTIATE_TEST_SUITE_P(Findings, FindingTest, testing::ValuesIn(kFindings));

#include "code_editing/highlight_engine.hpp"

#include <gtest/gtest.h>

#include <QList>

#include <random>

using namespace shared_ui::highlight;

namespace shared_ui::highlight {
void PrintTo(const Rule &rule, std::ostream *os) {
    *os << rule.pattern.toStdString() << " group " << rule.group;
}
} // namespace shared_ui::highlight

namespace {

// Pieces that make the shapes the engine knows meet their edge cases: escapes, signs before
// digits, suffixes, exponents, boundaries against non-ASCII and non-BMP characters, LF.
const char16_t *const kPieces[] = {
    u"def",    u"class",   u"self",  u" ",
    u"\t",     u"\"",      u"'",     u"\\",
    u"#",      u"--",      u"-",     u"+",
    u"1",      u"07",      u"0x1Fa", u"1.5e-3",
    u"l",      u"L",       u"e",     u".",
    u"col[",   u"]",       u"___",   u"_",
    u"SUM(",   u"A.B",     u"(",     u")",
    u"==",     u"<=",      u"<>",    u"=",
    u"/",      u"IS NULL", u"IS",    u"NULL",
    u"select", u"Select",  u"é",     u"😀",
    u"\n",     u"x",       u"9",     u"E",
    u"\"\"\"", u"and",     u"True",  u"a_keyword_longer_than_two_dozen_letters"};

QString random_text(std::mt19937 &rng, int pieces) {
    std::uniform_int_distribution<size_t> pick(0, std::size(kPieces) - 1);
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += QString::fromStdU16String(kPieces[pick(rng)]);
    return text;
}

void expect_same_as_reference(const std::vector<Rule> &rules, int texts, unsigned seed) {
    RuleTable table(rules);
    std::mt19937 rng(seed);
    FormatMap fast, reference;
    for (int i = 0; i < texts; ++i) {
        const QString text = random_text(rng, 1 + i % 40);
        table.paint(text, fast);
        paint_reference(rules, text, reference);
        ASSERT_EQ(fast, reference) << text.toStdString();
    }
}

} // namespace

class ShapeMatchesRegex : public testing::TestWithParam<Rule> {};

TEST_P(ShapeMatchesRegex, OnRandomText) {
    expect_same_as_reference({GetParam()}, 4000, 7);
    // The same rule over a colour of its own and a rule before it that it must override.
    expect_same_as_reference({{"[a-z]+", 0, 3}, GetParam()}, 1000, 11);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, ShapeMatchesRegex,
    testing::Values(Rule{R"(\bdef\b\s*(\w+))", 1, 1}, Rule{R"(\bclass\b\s*(\w+))", 1, 1},
                    Rule{R"("[^"\\]*(\\.[^"\\]*)*")", 0, 1},
                    Rule{R"('[^'\\]*(\\.[^'\\]*)*')", 0, 1}, Rule{R"(#[^\n]*)", 0, 1},
                    Rule{R"(--[^\n]*)", 0, 1}, Rule{R"(\b[+-]?[0-9]+[lL]?\b)", 0, 1},
                    Rule{R"(\b[+-]?0[xX][0-9A-Fa-f]+[lL]?\b)", 0, 1},
                    Rule{R"(\b[+-]?[0-9]+(?:\.[0-9]+)?(?:[eE][+-]?[0-9]+)?\b)", 0, 1},
                    Rule{R"(\bcol\[.+\])", 0, 1}, Rule{R"(___.+___)", 0, 1},
                    Rule{R"(\b[A-Z]+[A-Z0-9\.\_]*\()", 0, 1}, Rule{R"(\bIS NULL\b)", 0, 1},
                    Rule{R"(\bSUM\()", 0, 1}, Rule{R"(\bA.B\()", 0, 1}, Rule{R"(\bself\b)", 0, 1},
                    Rule{R"(\')", 0, 1}, Rule{R"(\bé\b)", 0, 1}, Rule{R"(\b|x)", 0, 1}));

TEST(RuleTable, MatchesRegexForWholeRuleLists) {
    // Units of keywords, operators with subsumed multi-character ones, braces, and the fixed
    // rules, with formats repeating across units as the palettes do.
    std::vector<Rule> rules;
    for (const char *w :
         {"and", "True", "def", "class", "select", "SELECT", "x9", "e",
          "a_keyword_longer_than_two_dozen_letters", "a_keyword_longer_than_two_dozen_letterz"})
        rules.push_back({QString(R"(\b%1\b)").arg(w), 0, 0});
    rules.push_back({R"(\bIS NULL\b)", 0, 0});
    for (const char *op : {"=", "==", "<=", "<>", "//", "/", R"(\+=)", R"(\+)", "-", "!="})
        rules.push_back({op, 0, 1});
    for (const char *brace : {R"(\()", R"(\))"})
        rules.push_back({brace, 0, 1});
    for (const char *p :
         {R"(\bself\b)", R"("[^"\\]*(\\.[^"\\]*)*")", R"('[^'\\]*(\\.[^'\\]*)*')", R"(")", R"(\')"})
        rules.push_back({p, 0, 2});
    rules.push_back({R"(\bdef\b\s*(\w+))", 1, 3});
    rules.push_back({R"(#[^\n]*)", 0, 4});
    rules.push_back({R"(\b[+-]?[0-9]+[lL]?\b)", 0, 5});
    rules.push_back({R"(\b[+-]?[0-9]+(?:\.[0-9]+)?(?:[eE][+-]?[0-9]+)?\b)", 0, 5});
    rules.push_back({R"(\bcol\[.+\])", 0, 0});
    expect_same_as_reference(rules, 1500, 3);
    EXPECT_EQ(RuleTable(rules).fallback_count(), 0);
}

TEST(RuleTable, KeepsUnknownPatternsAsRegularExpressions) {
    // A wildcard, an invalid pattern, and half of a surrogate pair (invalid to Qt as well).
    const std::vector<Rule> rules{
        {R"(\bA.B\()", 0, 0}, {R"(\bSUM\()", 0, 0}, {"(", 0, 1}, {QString(QChar(0xD83D)), 0, 2}};
    EXPECT_EQ(RuleTable(rules).fallback_count(), 3);
    expect_same_as_reference(rules, 40, 5);
}

namespace {

const QString kHigh(QChar(0xD83D)), kLow(QChar(0xDE00));

// Texts the literal loop treats specially: Qt refuses a subject with a lone surrogate (a pair is
// fine), and PCRE2 runs out of stack on a quoted string with more than about 13,000 escapes (with
// its JIT; without it, it matches), also when LF ends the attempt before the closing quote.
const QString kSpecialTexts[] = {
    "SUM(1) \"a\" " + kHigh,
    kLow + "x = 1",
    "x " + kHigh + kLow + " SUM(2)",
    "\"" + QString("\\x").repeated(14000) + "\" \"b\" 1",
    "\"" + QString("\\x").repeated(1100) + "\" \"b\" 1",
    "\"" + QString("\\\"").repeated(1100) + "\\\n\"b\" 1",
    "\"" + QString("\\x").repeated(14000) + "\\\n\"b\" 1",
    "'" + QString("\\'").repeated(14000),
};

} // namespace

TEST(RuleTable, MatchesRegexOnTextsTheLoopTreatsSpecially) {
    const std::vector<Rule> rules{{R"(\bSUM\()", 0, 0},
                                  {R"("[^"\\]*(\\.[^"\\]*)*")", 0, 1},
                                  {R"('[^'\\]*(\\.[^'\\]*)*')", 0, 1},
                                  {R"(\b[+-]?[0-9]+[lL]?\b)", 0, 2},
                                  {R"(\b|x)", 0, 3}};
    const RuleTable table(rules);
    FormatMap fast, reference;
    for (const QString &text : kSpecialTexts) {
        table.paint(text, fast);
        paint_reference(rules, text, reference);
        EXPECT_EQ(fast, reference) << text.left(40).toStdString();
    }
}

namespace {

std::vector<FormatId> marks(const char *pattern) {
    std::vector<FormatId> out;
    for (const char *c = pattern; *c; ++c)
        out.push_back(*c == '#' ? 7 : kNoFormat);
    return out;
}

} // namespace

struct TripleQuoteCase {
    QString text;
    int previous_state;
    const char *painted; // one mark per unit of the block, which may be longer than the text
    int state;
};

void PrintTo(const TripleQuoteCase &c, std::ostream *os) {
    *os << c.text.toStdString() << " after state " << c.previous_state;
}

class TripleQuotes : public testing::TestWithParam<TripleQuoteCase> {};

TEST_P(TripleQuotes, PaintAndState) {
    const TripleQuoteCase &c = GetParam();
    FormatMap out = marks(c.painted);
    std::fill(out.begin(), out.end(), kNoFormat);
    // The loop measures an open string by the block's own length, the text the mark was
    // dropped from or not.
    const TripleQuoteResult result =
        paint_triple_quotes(c.text, qsizetype(out.size()), c.previous_state, {1, 7}, out);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(out, marks(c.painted));
    EXPECT_EQ(result.state, c.state);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, TripleQuotes,
    testing::Values(
        // Opens and stays open; closes a string carried in; a whole line inside one.
        TripleQuoteCase{"x = \"\"\"abc", 0, "    ######", 1},
        TripleQuoteCase{"def\"\"\" x", 1, "######  ", 0}, TripleQuoteCase{"inside", 1, "######", 1},
        TripleQuoteCase{"no quotes", 0, "         ", 0},
        // Closed exactly at its delimiter, then a second string that stays open.
        TripleQuoteCase{"a\"\"\"b\"\"\"cd\"\"\"e", 0, " #######  ####", 1},
        // Carried in and closed, then a new string whose opening delimiter does not close it.
        TripleQuoteCase{"a\"\"\" \"\"\"b", 1, "#### ####", 1},
        // Characters outside the BMP count two code units each, as Qt counts them.
        TripleQuoteCase{QString::fromUtf8("😀\"\"\"😀"), 0, "  #####", 1},
        // A block one unit longer than the text (a dropped byte order mark): an open string runs
        // on to the block's end, a closed one is measured in the text.
        TripleQuoteCase{"x\"\"\"ab", 0, " ######", 1},
        TripleQuoteCase{"x\"\"\"ab\"\"\"", 0, " ######## ", 0}, TripleQuoteCase{"", 1, "#", 1},
        // Qt refuses to search a text with a lone surrogate, so no delimiter is found in it.
        TripleQuoteCase{"\"\"\"a\"\"\"" + kLow, 0, "       ", 0},
        TripleQuoteCase{"\"\"\"" + kHigh, 1, "####", 1}));

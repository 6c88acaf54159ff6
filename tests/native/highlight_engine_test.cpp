// The rule table against the rule loop it stands in for, pattern shape by pattern shape, on
// random text that the highlighters' blocks never hold too (LF). Whole rule lists and the
// multi-line string pass are held against the loop through the module, in
// tests/test_native_highlighting.py and test_highlighters.py, and by the fuzzer.
#include "highlight_engine_cases.hpp"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

using namespace shared_ui::highlight;
using namespace shared_ui::highlight::cases;

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

// The rule table and the rule loop of `rules` paint the special texts and 4000 random ones alike.
void expect_as_the_loop(const std::vector<Rule> &rules) {
    const RuleTable table(rules);
    const RuleLoop loop(rules);
    std::mt19937 rng(7);
    FormatMap fast, reference;
    const int special = int(std::size(kSpecialTexts));
    for (int i = 0; i < special + 4000; ++i) {
        const QString text = i < special ? kSpecialTexts[i] : random_text(rng, 1 + i % 40);
        table.paint(text, fast);
        loop.paint(text, reference);
        ASSERT_EQ(fast, reference) << text.left(60).toStdString();
    }
}

} // namespace

class RuleTableTest : public testing::TestWithParam<Shape> {};

TEST_P(RuleTableTest, PaintsWhatTheRuleLoopPaints) {
    const std::vector<Rule> rules{{R"([^"]+)", 0, 3}, GetParam().rule};
    EXPECT_EQ(RuleTable(rules).fallback_count(), GetParam().fallbacks + 1);
    expect_as_the_loop(rules);
}

// The same rule again, in a later unit of its own format: where both match, the later paints.
TEST_P(RuleTableTest, PaintsARuleRepeatedInALaterUnitAsTheLoop) {
    Rule again = GetParam().rule;
    again.format = 2;
    expect_as_the_loop({GetParam().rule, {R"([^"]+)", 0, 3}, again});
}

namespace shared_ui::highlight::cases {
void PrintTo(const Shape &s, std::ostream *os) {
    *os << s.rule.pattern.toStdString();
}
} // namespace shared_ui::highlight::cases

// Each shape over a rule before it that it must override (one that colours nearly everything
// with few matches: the rule loop pays for every match).
INSTANTIATE_TEST_SUITE_P(Shapes, RuleTableTest, testing::ValuesIn(kShapes));

// The engine's opening comment says what \w, \s, `.` and \b mean under Qt's default options.
// Asked here of the Qt the tests run on, over every code point: one subject holds them all in
// order (bar the surrogates, which are no code points of their own and which Qt refuses alone),
// and a global search says where each pattern matches.
namespace {

QString every_code_point() {
    std::u32string all;
    for (char32_t c = 0; c <= 0x10FFFF; ++c)
        if (!QChar::isSurrogate(c))
            all += c;
    return QString::fromUcs4(all.data(), qsizetype(all.size()));
}

// Where `pattern` matches in `text`: the code point each match starts with, or, for an empty
// match, its position in UTF-16 units.
std::vector<char32_t> matches(const QString &pattern, const QString &text) {
    const QRegularExpression regex(pattern);
    EXPECT_TRUE(regex.isValid()) << pattern.toStdString();
    std::vector<char32_t> found;
    for (auto it = regex.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        found.push_back(match.capturedLength() == 0 ? char32_t(match.capturedStart())
                                                    : match.captured().toUcs4().front());
    }
    return found;
}

std::vector<char32_t> code_points(std::u32string_view of) {
    return {of.begin(), of.end()};
}

} // namespace

TEST(QtRegularExpressions, MeanWhatTheEngineAssumesOnEveryCodePoint) {
    const QString text = every_code_point();
    ASSERT_EQ(text.size(), 0x110000 - 0x800 + 0x100000);
    const std::u32string_view word =
        U"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
    EXPECT_EQ(matches(R"(\w)", text), code_points(word));
    EXPECT_EQ(matches(R"(\s)", text), code_points(U"\t\n\v\f\r "));
    // What `.` leaves out, and that it takes a surrogate pair whole.
    EXPECT_EQ(matches(R"((?!.)[\s\S])", text), code_points(U"\n"));
    EXPECT_TRUE(QRegularExpression("^.$").match(QString::fromUcs4(U"\U0001F600", 1)).hasMatch());
    // \b lies where a run of word characters starts or ends, here at the start and the end of
    // each of 0-9, A-Z, _ and a-z (the subject is in code point order, ASCII first); the text's
    // ends count as non-word, and a search from an offset sees what lies before it.
    const std::vector<char32_t> boundaries{'0', '9' + 1, 'A', 'Z' + 1, '_', '_' + 1, 'a', 'z' + 1};
    EXPECT_EQ(matches(R"(\b)", text), boundaries);
    EXPECT_EQ(matches(R"(\b)", "a"), (std::vector<char32_t>{0, 1}));
    EXPECT_FALSE(QRegularExpression(R"(\bb)").match("ab", 1).hasMatch());
}

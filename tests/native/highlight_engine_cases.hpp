// What the GoogleTest suite and the engine fuzzer (highlight_engine_fuzzer.cpp) share: the pattern
// shapes the engine knows, and one block coloured two ways, by the engine and by the literal
// loops it stands in for.
#pragma once

#include "code_editing/highlight_engine.hpp"

#include <optional>
#include <string_view>
#include <vector>

namespace shared_ui::highlight::cases {

inline const QString kHigh(QChar(0xD83D)), kLow(QChar(0xDE00));
// Longer than any keyword the highlighters know: the keyword set files such words apart.
inline const QString kLongWord("a_keyword_longer_than_two_dozen_letters");

struct Shape {
    Rule rule;
    int fallbacks; // 1 when the rule stays a general regular expression
};

// Every shape the engine knows.
inline const Shape kShapes[] = {
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

// One block as a highlighter meets it: its rules, the text the document holds and, for the
// Python highlighter, the multi-line string pass with the state the block before left.
struct Block {
    std::vector<Rule> rules;
    QString text;
    std::optional<TripleQuotePass> pass;
    int previous_state = -1;
};

struct Colouring {
    FormatMap formats;
    int state = 0;
    bool operator==(const Colouring &) const = default;
};

// The text the rules search: PyQt drops a leading byte order mark when it hands the block's text
// to a regular expression, while setFormat counts it.
inline QString subject(const QString &text) {
    return text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
}

// As the module's native path colours the block.
inline Colouring colour(const RuleTable &table, const Block &block) {
    Colouring result;
    const QString searched = subject(block.text);
    table.paint(searched, result.formats);
    result.formats.resize(size_t(block.text.size()), kNoFormat);
    if (block.pass)
        result.state = paint_triple_quotes(searched, block.text.size(), block.previous_state,
                                           *block.pass, result.formats)
                           .state;
    return result;
}

// As the highlighters' own loops colour it.
inline Colouring colour_by_loop(const RuleLoop &loop, const Block &block) {
    Colouring result;
    const QString searched = subject(block.text);
    loop.paint(searched, result.formats);
    result.formats.resize(size_t(block.text.size()), kNoFormat);
    if (block.pass)
        result.state =
            paint_triple_quotes_reference(searched, block.text.size(), block.previous_state,
                                          *block.pass, result.formats)
                .state;
    return result;
}

// A block the fuzzer found coloured differently, as a row of the findings table.
struct Finding {
    struct Pattern {
        std::u16string_view pattern;
        int group;
        int format;
    };
    std::vector<Pattern> rules;
    std::u16string_view text;
    std::optional<TripleQuotePass> pass;
    int previous_state;

    Block block() const {
        Block b{{}, QString::fromUtf16(text.data(), qsizetype(text.size())), pass, previous_state};
        for (const Pattern &p : rules)
            b.rules.push_back({QString::fromUtf16(p.pattern.data(), qsizetype(p.pattern.size())),
                               p.group, p.format});
        return b;
    }
};

} // namespace shared_ui::highlight::cases

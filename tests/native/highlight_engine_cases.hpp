// What the GoogleTest suite and the engine fuzzer (highlight_engine_fuzzer.cpp) share: the pattern
// shapes the engine knows.
#pragma once

#include "code_editing/highlight_engine.hpp"

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

} // namespace shared_ui::highlight::cases

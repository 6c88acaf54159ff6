// The native highlight engine: pure C++ on Qt, no Python.
//
// A highlighter's rules are an ordered list of (pattern, capture group, format id). For one block
// of text the rule loop colours, for each rule in order, every match found by searching from
// offset 0 and then again from the end of the coloured group; a later rule overrides an earlier
// one where they overlap. RuleTable computes exactly the same colouring, but much faster than
// one QRegularExpression search per match and rule: see highlight_engine.cpp for how and why it
// stays exact. RuleLoop is that rule loop itself on QRegularExpression, kept as the yardstick the
// tests and the fuzzer hold the fast table against.
#pragma once

#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace shared_ui::highlight {

struct Rule {
    QString pattern;
    int group = 0;
    int format = 0;
};

// The colouring of one block: a format id per UTF-16 code unit, kNoFormat where no rule matched.
using FormatId = std::int16_t;
constexpr FormatId kNoFormat = -1;
using FormatMap = std::vector<FormatId>;

class RuleTable {
  public:
    explicit RuleTable(const std::vector<Rule> &rules);
    ~RuleTable();
    RuleTable(const RuleTable &) = delete;
    RuleTable &operator=(const RuleTable &) = delete;

    // Resizes `out` to the text's length and fills it as the rule loop would colour the block
    // (nothing at all for a text with a lone surrogate, which Qt refuses to search). `out` keeps
    // its capacity between calls, so a reused map allocates nothing.
    void paint(const QString &text, FormatMap &out) const;

    // How many rules had to stay general regular expressions (for tests and benchmarks).
    int fallback_count() const;

  private:
    struct Compiled;
    std::unique_ptr<Compiled> compiled_;
};

// The rule loop itself: one QRegularExpression per rule, searched again and again. The expressions
// are made once, so that Qt compiles each only on its first search, as a highlighter's are.
class RuleLoop {
  public:
    explicit RuleLoop(const std::vector<Rule> &rules);
    void paint(const QString &text, FormatMap &out) const;

  private:
    std::vector<std::pair<QRegularExpression, Rule>> rules_;
};

// The multi-line string pass that follows the rules in the Python highlighter: a string opened by
// a triple double quote runs on to its closing triple quote, over block ends, carried by the block
// state. It colours each string through its closing delimiter (end - start), or, when the string
// stays open, for the length of the block text as the loop measures it (`text_length`, in UTF-16
// units) from its start, and looks for a string's closing delimiter after that string's own
// opening delimiter, also for the later strings of a block that began inside one.
struct TripleQuotePass {
    int in_state = 1;
    FormatId format = 0;
};

struct TripleQuoteResult {
    int state = 0; // the block state the pass leaves (the rules have set 0 before it)
};

// Paints into `out`, which must already hold the rule colouring of `text` and be as long as the
// block being highlighted (nothing beyond it is coloured). A block that starts with a byte order
// mark is one unit longer than `text`, and so is `text_length`: PyQt drops the mark when it hands
// the block's text to a regular expression, but the loop measures the text itself.
TripleQuoteResult paint_triple_quotes(const QString &text, qsizetype text_length,
                                      int previous_state, const TripleQuotePass &pass,
                                      FormatMap &out);

// The same pass as the Python highlighter's own loop runs it, on QRegularExpression: the
// yardstick for paint_triple_quotes, as RuleLoop is for RuleTable.
TripleQuoteResult paint_triple_quotes_reference(const QString &text, qsizetype text_length,
                                                int previous_state, const TripleQuotePass &pass,
                                                FormatMap &out);

} // namespace shared_ui::highlight

// How the fast table stays exact.
//
// Qt compiles every QRegularExpression with PCRE2 in UTF mode and without PCRE2_UCP (the
// UseUnicodePropertiesOption is off by default). Under those options, as
// tests/native/highlight_engine_test.cpp checks over every code point on the Qt it runs on:
//   - \w is exactly [A-Za-z0-9_]; every other code point, non-ASCII ones included, is not a word
//     character, and \b is the change between a word character and anything else (the text's ends
//     count as non-word);
//   - \s is exactly tab, LF, VT, FF, CR and blank;
//   - `.` matches any code point but LF (a surrogate pair is one code point, two code units);
//   - a search from an offset sees the text before the offset (\b looks at offset - 1).
// The rules only ever colour with setFormat, which replaces the format of the characters it
// covers. So the final colour of a character is the format of the last rule that covers it, and
// within a run of consecutive rules with the same format (a "unit") only the union of the rules'
// matches matters, not which rule matched or in which order. Each unit is therefore painted by
// a few matchers that each reproduce the literal loop's matches of one pattern shape, or of a
// whole family of patterns at once, and paint the unit's format into the map directly.
//
// A pattern is recognised by its exact text; anything not recognised keeps a QRegularExpression
// and the literal loop (the fallback), so the table is exact for any rule list, only faster for
// the shapes it knows.
//
// Qt refuses a subject that is not valid UTF-16 from the search's offset on (PCRE2 checks it
// before every search, and Qt reports the refusal as no match, without a warning). The loop
// searches every rule from offset 0 first, so a block holding a lone surrogate gets no colour
// from any rule, and the table paints none. Every other text is valid, which lets the fallback
// skip that check: done on every search, it would make the loop along one long line quadratic.
//
// Every matcher looks at each character a bounded number of times, whatever the line holds: where
// an attempt fails, the search goes on past everything that attempt has shown cannot match. (The
// literal loop can be quadratic on such lines; the table must not be, or one pasted line freezes
// the editor. tests/highlighting.py has the adversarial lines, and bench/run.py times them.)
#include "code_editing/highlight_engine.hpp"

#include <QRegularExpression>

// SSE2 is part of every x86-64 processor; GCC and Clang say so with __SSE2__, MSVC with _M_X64.
#if defined(__SSE2__) || defined(_M_X64)
#define SHARED_UI_SSE2 1
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <string_view>

namespace shared_ui::highlight {
namespace {

// Every matcher asks this of nearly every character it passes: a table is cheaper than the
// comparisons.
constexpr std::array<bool, 128> kWordCharacters = [] {
    std::array<bool, 128> word{};
    for (int c = 0; c < 128; ++c)
        word[size_t(c)] =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    return word;
}();

bool is_word(char16_t c) {
    return c < 128 && kWordCharacters[c];
}
bool is_digit(char16_t c) {
    return c >= '0' && c <= '9';
}
bool is_hex_digit(char16_t c) {
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool is_space(char16_t c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

#ifdef SHARED_UI_SSE2
// Eight characters at `data`.
__m128i load_eight(const char16_t *data) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(data));
}

// Per 16-bit lane, all ones where low <= x < low + count. SSE2 compares signed lanes only, so
// the unsigned x - low < count is asked with both sides shifted by 0x8000.
__m128i in_range(__m128i x, char16_t low, int count) {
    const __m128i shifted =
        _mm_xor_si128(_mm_sub_epi16(x, _mm_set1_epi16(short(low))), _mm_set1_epi16(short(0x8000)));
    return _mm_cmplt_epi16(shifted, _mm_set1_epi16(short(count - 0x8000)));
}
#endif

// The first position at or after `from` whose character c has low <= c < low + count, or -1:
// eight characters at a time with SSE2. Looking for one character, a digit or a surrogate this
// way is several times cheaper than a comparison per character.
qsizetype find_range(const char16_t *data, qsizetype size, qsizetype from, char16_t low,
                     int count) {
    qsizetype i = std::max<qsizetype>(from, 0);
#ifdef SHARED_UI_SSE2
    for (; i + 8 <= size; i += 8)
        if (const auto found =
                unsigned(_mm_movemask_epi8(in_range(load_eight(data + i), low, count))))
            return i + std::countr_zero(found) / 2;
#endif
    for (; i < size; ++i)
        if (char16_t(data[i] - low) < count)
            return i;
    return -1;
}

// Which characters are word characters, as bits (see Text::words): the keyword lists look words
// up by their runs, which the bits give whole, and classing eight characters at once with SSE2
// is several times cheaper than a table look-up per character. `bits` holds (size + 63) / 64
// words.
void word_bits(const char16_t *data, qsizetype size, std::uint64_t *bits) {
    std::fill_n(bits, (size + 63) / 64, 0);
    qsizetype i = 0;
#ifdef SHARED_UI_SSE2
    for (; i + 8 <= size; i += 8) {
        const __m128i c = load_eight(data + i);
        const __m128i letter = in_range(_mm_or_si128(c, _mm_set1_epi16(0x20)), 'a', 26);
        const __m128i digit = in_range(c, '0', 10);
        const __m128i underscore = _mm_cmpeq_epi16(c, _mm_set1_epi16('_'));
        const __m128i word = _mm_or_si128(_mm_or_si128(letter, digit), underscore);
        const auto eight = unsigned(_mm_movemask_epi8(_mm_packs_epi16(word, word))) & 0xFF;
        bits[i / 64] |= std::uint64_t(eight) << (i % 64);
    }
#endif
    for (; i < size; ++i)
        if (is_word(data[i]))
            bits[i / 64] |= std::uint64_t(1) << (i % 64);
}

// The text as the matchers see it: positions outside it read as a non-word character, as PCRE2
// treats the subject's ends for \b.
struct Text {
    const QString &source;
    const char16_t *data;
    qsizetype size;
    bool has_line_feed = true; // false: no LF anywhere, which spares looking for one
    // Bit i % 64 of word i / 64: whether character i is a word character (see word_bits()).
    const std::uint64_t *words = nullptr;
    char16_t at(qsizetype i) const { return i >= 0 && i < size ? data[i] : u'\0'; }
    bool word_at(qsizetype i) const { return is_word(at(i)); }
    bool boundary(qsizetype i) const { return word_at(i - 1) != word_at(i); }
    qsizetype find(char16_t c, qsizetype from) const { return find_range(data, size, from, c, 1); }
    qsizetype find(std::u16string_view s, qsizetype from) const {
        const auto length = qsizetype(s.size());
        for (qsizetype i = find(s[0], from); i >= 0 && i + length <= size; i = find(s[0], i + 1))
            if (std::u16string_view(data + i, size_t(length)) == s)
                return i;
        return -1;
    }
    // The end of the run of word characters at `from` (a position inside the text): the first
    // position after it whose character is not a word character, or `size`. Whole runs of word
    // characters at a time.
    qsizetype word_end(qsizetype from) const {
        const qsizetype count = (size + 63) / 64;
        qsizetype w = from / 64;
        std::uint64_t bits = ~words[w] >> (from % 64) << (from % 64);
        while (bits == 0) {
            if (++w == count)
                return size;
            bits = ~words[w];
        }
        return std::min(size, w * 64 + std::countr_zero(bits));
    }
    qsizetype line_end(qsizetype from) const {
        if (!has_line_feed)
            return size;
        const qsizetype i = find(u'\n', from);
        return i < 0 ? size : i;
    }
};

// Which ASCII characters occur in the block: lets a matcher skip a line in which the characters
// it must start with (or must contain) do not occur at all, without scanning it.
using AsciiSet = std::bitset<128>;

struct Span {
    qsizetype start = -1;
    qsizetype end = -1;
};

// While the matchers run, the map holds for each character the highest unit that covers it:
// the unit that the loop, which runs the units in order, would have painted last. Matchers may
// then run in any order, and one pass may serve the literals of many units.
using Unit = FormatId;

class Matcher {
  public:
    virtual ~Matcher() = default;
    // Paints the union of the matches the literal loop finds in `text` with the matcher's unit.
    virtual void paint(const Text &text, Unit *out) const = 0;
    // At least one of these characters must occur for a match; empty: no such shortcut.
    AsciiSet needs;
    Unit unit = 0;

    // Whether a character of `needs` occurs, where they form a few ranges (one character, the
    // digits) that the text can be searched for quickly; otherwise the matcher runs anyway.
    void seal_needs() {
        for (int c = 0; c < 128; ++c) {
            if (!needs.test(size_t(c)))
                continue;
            if (!ranges_.empty() && ranges_.back().first + ranges_.back().second == c)
                ++ranges_.back().second;
            else
                ranges_.push_back({char16_t(c), 1});
        }
        if (ranges_.size() > kMostRanges)
            ranges_.clear();
    }
    bool may_match(const Text &text) const {
        if (ranges_.empty())
            return true;
        for (const auto &[low, count] : ranges_)
            if (find_range(text.data, text.size, 0, low, count) >= 0)
                return true;
        return false;
    }

  private:
    static constexpr size_t kMostRanges = 3;
    std::vector<std::pair<char16_t, int>> ranges_;
};

void fill(Unit *out, qsizetype start, qsizetype end, Unit unit) {
    for (qsizetype i = start; i < end; ++i)
        out[i] = std::max(out[i], unit);
}

// What setFormat does: the format replaces whatever the characters had.
void overwrite(FormatId *out, qsizetype start, qsizetype end, FormatId format) {
    std::fill(out + start, out + end, format);
}

// Matchers of one pattern shape: the literal loop over a find() that returns the leftmost match
// at or after an offset, as PCRE2 would find it, with the span of the coloured group.
template <typename Find> class LoopMatcher : public Matcher {
  public:
    explicit LoopMatcher(Find find, AsciiSet needs_) : find_(std::move(find)) { needs = needs_; }
    void paint(const Text &text, Unit *out) const override {
        qsizetype from = 0;
        for (;;) {
            const Span s = find_(text, from);
            if (s.start < 0)
                return;
            fill(out, s.start, s.end, unit);
            from = s.end;
        }
    }

  private:
    Find find_;
};

template <typename Find> std::unique_ptr<Matcher> loop(Find find, AsciiSet needs = {}) {
    return std::make_unique<LoopMatcher<Find>>(std::move(find), needs);
}

AsciiSet chars_of(std::u16string_view chars) {
    AsciiSet set;
    for (char16_t c : chars)
        set.set(c);
    return set;
}

const AsciiSet kDigits = chars_of(u"0123456789");

// \bW\b for a word W of word characters matches exactly the maximal runs of word characters that
// equal W; runs never overlap, so a set lookup per run finds the matches of a whole keyword list,
// in any order. A word in the lists of several units takes the latest unit.
class KeywordSet {
  public:
    void add(const std::u16string &word, Unit unit) {
        for (Entry &entry : entries_)
            if (entry.word == word) {
                entry.unit = std::max(entry.unit, unit);
                return;
            }
        entries_.push_back({word, unit});
        const auto length = qsizetype(word.size());
        min_ = std::min(min_, length);
        max_ = std::max(max_, length);
        starts_[size_t(std::min(length, kLengths - 1))][word[0]] = true;
    }
    // Builds the look-up once all words are added: open addressing, at most half full, so that a
    // word is found in a probe or two.
    void seal() {
        size_t slots = 16;
        while (slots < 2 * entries_.size())
            slots *= 2;
        slots_.assign(slots, -1);
        for (size_t e = 0; e < entries_.size(); ++e) {
            size_t slot = hash(entries_[e].word.data(), qsizetype(entries_[e].word.size()));
            while (slots_[slot & (slots - 1)] >= 0)
                ++slot;
            slots_[slot & (slots - 1)] = int(e);
        }
    }
    bool empty() const { return entries_.empty(); }

    // The unit that paints the run of word characters [start, start + length), or kNoFormat.
    Unit find(const char16_t *start, qsizetype length) const {
        // Most runs are names that are no keyword: their length and first letter rule them out
        // before any hashing.
        if (length < min_ || length > max_ ||
            !starts_[size_t(std::min(length, kLengths - 1))][*start])
            return kNoFormat;
        const size_t mask = slots_.size() - 1;
        for (size_t slot = hash(start, length);; ++slot) {
            const int e = slots_[slot & mask];
            if (e < 0)
                return kNoFormat;
            const std::u16string &word = entries_[size_t(e)].word;
            if (qsizetype(word.size()) == length && std::equal(word.begin(), word.end(), start))
                return entries_[size_t(e)].unit;
        }
    }

  private:
    // Cheaper than std::hash on the short ASCII words of a keyword list, and spreads them well.
    static size_t hash(const char16_t *word, qsizetype length) {
        size_t h = size_t(length);
        for (qsizetype i = 0; i < length; ++i)
            h = h * 31 + word[i];
        return h ^ (h >> 7);
    }

    struct Entry {
        std::u16string word;
        Unit unit;
    };
    std::vector<Entry> entries_;
    std::vector<int> slots_; // entry indices, -1 where free
    qsizetype min_ = 1 << 30;
    qsizetype max_ = 0;
    // The first characters of the words of each length (the last slot: that length or more).
    static constexpr qsizetype kLengths = 24;
    std::array<std::bitset<128>, kLengths> starts_;
};

struct ParsedLiteral {
    std::u16string text;
    bool boundary_before = false;
    bool boundary_after = false;
    // The rule colours the name after the literal instead (\bdef\b\s*(\w+), group 1): the literal
    // as a whole word, blanks (at least one: \b after the word means a non-word character, where
    // \w+ cannot start) and a run of word characters. Its loop goes on after the name.
    bool name_after = false;
};

// Every literal rule, optionally with \b before and/or after it (`=`, `\+`, `<=`, `\bIS NULL\b`,
// `\bSUM\(`, keywords), of every unit, in one pass over the text instead of one search per rule.
//
// Each literal keeps the position from which its own loop would search next: the loop takes the
// leftmost match at or after that position and goes on from its end, so a match that starts
// before it was passed over by that loop (a literal such as `aa` does not match twice in `aaa`).
// At each position only the literals that start with its character are tried.
//
// A literal that starts with a word character after \b can only match where a run of word
// characters starts, and the whole words among them are looked up once per run (KeywordSet). So
// the pass goes from run to run through the word characters, which are most of the text, and
// looks at the others one by one (unless some literal starts with a word character anywhere).
class LiteralSetMatcher : public Matcher {
  public:
    void add(ParsedLiteral literal, Unit unit) {
        const bool whole_word = literal.boundary_before && literal.boundary_after &&
                                !literal.name_after &&
                                std::all_of(literal.text.begin(), literal.text.end(), is_word);
        if (whole_word) {
            keywords_.add(literal.text, unit);
            needs.set(literal.text[0]);
            return;
        }
        literals_.push_back(std::move(literal));
        units_.push_back(unit);
    }
    bool empty() const { return literals_.empty() && keywords_.empty(); }

    // Groups the literals by their first character once all are added.
    void seal() {
        keywords_.seal();
        for (char16_t c = 0; c < 128; ++c) {
            const auto first = std::uint16_t(order_.size());
            for (size_t k = 0; k < literals_.size(); ++k)
                if (literals_[k].text[0] == c)
                    order_.push_back(std::uint16_t(k));
            const auto count = std::uint16_t(order_.size() - first);
            ranges_[c] = {first, count};
            if (count == 0)
                continue;
            needs.set(c);
            // One plain character matches wherever it occurs: no test, no position to keep.
            const ParsedLiteral &only = literals_[order_[first]];
            const bool plain = !only.boundary_before && !only.boundary_after;
            action_[c] = count == 1 && only.text.size() == 1 && plain ? kPaint : kTry;
        }
        for (const ParsedLiteral &literal : literals_) {
            // Rare (function names): tried at every character outside ASCII.
            if (literal.text[0] >= 128) {
                other_action_ = kTryOther;
                needs.reset();
            }
            inside_words_ = inside_words_ || (is_word(literal.text[0]) && !literal.boundary_before);
        }
    }

    void paint(const Text &text, Unit *out) const override {
        // Where each literal's loop searches next; on the stack for the usual few dozen literals.
        std::array<qsizetype, 64> small;
        std::vector<qsizetype> large(literals_.size() > small.size() ? literals_.size() : 0);
        qsizetype *next = large.empty() ? small.data() : large.data();
        std::fill_n(next, literals_.size(), 0);
        const char16_t *data = text.data;
        const qsizetype size = text.size;
        for (qsizetype i = 0; i < size;) {
            if (is_word(data[i])) {
                // A run of word characters starts at i.
                const qsizetype end = text.word_end(i);
                const Unit unit = keywords_.find(data + i, end - i);
                if (unit != kNoFormat)
                    fill(out, i, end, unit);
                for (qsizetype j = i; j < (inside_words_ ? end : i + 1); ++j)
                    at(text, j, next, out);
                i = end;
            } else {
                at(text, i, next, out);
                ++i;
            }
        }
    }

  private:
    // The literals that start with the character at i.
    void at(const Text &text, qsizetype i, qsizetype *next, Unit *out) const {
        const char16_t c = text.data[i];
        const std::uint8_t action = c < 128 ? action_[c] : other_action_;
        if (action == kPaint) {
            out[i] = std::max(out[i], units_[order_[ranges_[c].first]]);
        } else if (action == kTry) {
            const Range range = ranges_[c];
            for (std::uint16_t n = 0; n < range.count; ++n)
                try_at(text, order_[range.first + n], i, next, out);
        } else if (action == kTryOther) {
            for (size_t k = 0; k < literals_.size(); ++k)
                if (literals_[k].text[0] == c)
                    try_at(text, k, i, next, out);
        }
    }

    void try_at(const Text &text, size_t k, qsizetype i, qsizetype *next, Unit *out) const {
        const ParsedLiteral &literal = literals_[k];
        const auto length = qsizetype(literal.text.size());
        if (i < next[k] || (literal.boundary_before && !text.boundary(i)) ||
            i + length > text.size ||
            std::u16string_view(text.data + i, size_t(length)) != literal.text ||
            (literal.boundary_after && !text.boundary(i + length)))
            return;
        qsizetype start = i;
        qsizetype end = i + length;
        if (literal.name_after) {
            while (end < text.size && is_space(text.data[end]))
                ++end;
            if (!text.word_at(end))
                return;
            start = end;
            end = text.word_end(end);
        }
        fill(out, start, end, units_[k]);
        next[k] = end;
    }

    enum : std::uint8_t { kNone, kPaint, kTry, kTryOther };
    struct Range {
        std::uint16_t first = 0; // in order_
        std::uint16_t count = 0;
    };
    KeywordSet keywords_;
    std::vector<ParsedLiteral> literals_;    // the others
    std::vector<Unit> units_;                // each literal's unit
    std::vector<std::uint16_t> order_;       // literal indices, grouped by first character
    std::array<Range, 128> ranges_;          // each ASCII character's group
    std::array<std::uint8_t, 128> action_{}; // kNone, kPaint or kTry for each ASCII character
    std::uint8_t other_action_ = kNone;      // for characters outside ASCII
    bool inside_words_ = false; // whether a literal may start inside a run of word characters
};

// A string in quote q with backslash escapes: q[^q\\]*(\\.[^q\\]*)*q. From an opening quote the
// match is deterministic (the runs stop only at q or a backslash, so backtracking cannot find
// another way), and it fails only at the text's end or at a backslash before LF. Quotes passed
// over inside a failed attempt were escaped characters; an attempt from one of them would continue
// exactly as the failed one did, so the search resumes after the point of failure.
//
// PCRE2 keeps a backtracking frame on its stack for every pass through the repeated group, one
// per escape. Qt caps the JIT's stack, which then holds 13,106 escapes in one attempt; an attempt
// that needs more ends the whole search with an error, which Qt reports as no match, without a
// warning, so the loop colours no further string with this rule on the line. The limit depends on
// Qt's stack size, on PCRE2's frames and on whether the JIT is used at all, so rather than copy
// it, an attempt that passes over more than kHandOver escapes hands the search over to the very
// QRegularExpression search the loop would make, from the same offset: its result is the loop's
// by construction, and it costs what the attempt costs. An attempt that fails at the end of the
// text needs no hand-over: every later attempt fails there too, so the search finds nothing
// whether PCRE2 runs out of stack or not. (Text with LF, which no block holds, can make PCRE2
// retry from each escaped quote of a long failed attempt: such a hand-over costs what the loop's
// search costs, which is bounded by the square of the stack limit.)
struct QuotedFind {
    char16_t quote;
    QRegularExpression regex; // the rule's own pattern, for hand-overs
    static constexpr qsizetype kHandOver = 1000;

    Span operator()(const Text &text, qsizetype from) const {
        for (qsizetype p = text.find(quote, from); p >= 0;) {
            qsizetype j = p + 1;
            qsizetype escapes = 0;
            for (;;) {
                if (j >= text.size)
                    return {};
                const char16_t c = text.data[j];
                if (c == quote)
                    return escapes > kHandOver ? hand_over(text, from) : Span{p, j + 1};
                if (c == '\\') {
                    if (j + 1 >= text.size)
                        return {};
                    if (text.data[j + 1] == '\n')
                        break;
                    j += 2;
                    ++escapes;
                } else {
                    ++j;
                }
            }
            if (escapes > kHandOver)
                return hand_over(text, from);
            p = text.find(quote, j + 2);
        }
        return {};
    }

    Span hand_over(const Text &text, qsizetype from) const {
        const QRegularExpressionMatch match =
            regex.match(text.source, from, QRegularExpression::NormalMatch,
                        QRegularExpression::DontCheckSubjectStringMatchOption);
        if (!match.hasMatch())
            return {};
        return {match.capturedStart(), match.capturedEnd()};
    }
};

// A prefix and the rest of the line: `#[^\n]*`, `--[^\n]*`.
struct LineTailFind {
    std::u16string prefix;
    Span operator()(const Text &text, qsizetype from) const {
        const qsizetype i = text.find(prefix, from);
        if (i < 0)
            return {};
        return {i, text.line_end(i + qsizetype(prefix.size()))};
    }
};

// Whether a number may start at `s`, a digit or the character just before one, for the patterns
// \b[+-]?...: a sign needs a word character before it (\b then sits between the two), a digit a
// non-word character. Returns the digits' position.
inline qsizetype number_start(const Text &text, qsizetype s) {
    const char16_t c = text.data[s];
    if (c > '9')
        return -1;
    if ((c == '+' || c == '-') && text.word_at(s - 1))
        return s + 1;
    if (is_digit(c) && !text.word_at(s - 1))
        return s;
    return -1;
}

qsizetype digits_end(const Text &text, qsizetype i) {
    while (i < text.size && is_digit(text.data[i]))
        ++i;
    return i;
}

// The first position at or after `s` where a number may start, or -1, with its digits' position
// in `digits`. Only a digit, or a sign just before one, can start a number, so the search goes
// from digit to digit; where a run of digits follows a word character, none of it can start one.
qsizetype next_number_start(const Text &text, qsizetype s, qsizetype &digits) {
    while (s < text.size) {
        const qsizetype d = find_range(text.data, text.size, s, '0', 10);
        if (d < 0)
            return -1;
        digits = d;
        if (d > s && number_start(text, d - 1) == d)
            return d - 1;
        if (number_start(text, d) == d)
            return d;
        s = digits_end(text, d);
    }
    return -1;
}

// A suffix [lL]? followed by \b, after a run that ends in a word character. Shorter runs or
// dropping the suffix cannot help: \b never holds between two word characters.
qsizetype suffix_then_boundary(const Text &text, qsizetype e) {
    const char16_t c = text.at(e);
    if (c == 'l' || c == 'L')
        return text.word_at(e + 1) ? -1 : e + 1;
    return text.word_at(e) ? -1 : e;
}

// The number patterns, each from the start of its digits `d` to the end of its match, or -1.
//
// \b[+-]?[0-9]+[lL]?\b
qsizetype integer_end(const Text &text, qsizetype d) {
    return suffix_then_boundary(text, digits_end(text, d));
}

// \b[+-]?0[xX][0-9A-Fa-f]+[lL]?\b
qsizetype hex_end(const Text &text, qsizetype d) {
    if (text.at(d) != '0' || (text.at(d + 1) != 'x' && text.at(d + 1) != 'X') ||
        !is_hex_digit(text.at(d + 2)))
        return -1;
    qsizetype e = d + 2;
    while (e < text.size && is_hex_digit(text.data[e]))
        ++e;
    return suffix_then_boundary(text, e);
}

// \b[+-]?[0-9]+(?:\.[0-9]+)?(?:[eE][+-]?[0-9]+)?\b. Every part ends in a digit, so \b after it
// means a non-word character (or the end) follows. Digit runs are taken whole (a shorter run
// is followed by a digit, where neither the next part nor \b can match); what is left to
// backtracking is whether the fraction and the exponent are taken, tried in PCRE2's order.
qsizetype exponent_end(const Text &text, qsizetype x) {
    if (text.at(x) != 'e' && text.at(x) != 'E')
        return -1;
    qsizetype y = x + 1;
    if ((text.at(y) == '+' || text.at(y) == '-') && is_digit(text.at(y + 1)))
        ++y;
    return is_digit(text.at(y)) ? digits_end(text, y) : -1;
}

qsizetype float_end(const Text &text, qsizetype d) {
    const qsizetype whole = digits_end(text, d);
    const qsizetype fraction =
        text.at(whole) == '.' && is_digit(text.at(whole + 1)) ? digits_end(text, whole + 1) : -1;
    for (qsizetype base : {fraction, whole}) {
        if (base < 0)
            continue;
        for (qsizetype end : {exponent_end(text, base), base})
            if (end >= 0 && !text.word_at(end))
                return end;
    }
    return -1;
}

// Every number rule, of every unit, in one pass over the places where a number may start. As
// for the literals, each rule keeps the position from which its own loop would search next.
class NumberMatcher : public Matcher {
  public:
    using End = qsizetype (*)(const Text &, qsizetype);
    NumberMatcher() { needs = kDigits; }
    void add(End end, Unit unit) { rules_.push_back({end, unit}); }
    bool empty() const { return rules_.empty(); }

    void paint(const Text &text, Unit *out) const override {
        std::array<qsizetype, 8> small;
        std::vector<qsizetype> large(rules_.size() > small.size() ? rules_.size() : 0);
        qsizetype *next = large.empty() ? small.data() : large.data();
        std::fill_n(next, rules_.size(), 0);
        qsizetype d = -1;
        for (qsizetype s = next_number_start(text, 0, d); s >= 0;
             s = next_number_start(text, s + 1, d)) {
            for (size_t k = 0; k < rules_.size(); ++k) {
                if (s < next[k])
                    continue;
                const qsizetype end = rules_[k].end(text, d);
                if (end >= 0) {
                    fill(out, s, end, rules_[k].unit);
                    next[k] = end;
                }
            }
        }
    }

  private:
    struct NumberRule {
        End end;
        Unit unit;
    };
    std::vector<NumberRule> rules_;
};

// The number pattern's end function, or null.
NumberMatcher::End number_shape(const std::u16string &pattern) {
    if (pattern == u"\\b[+-]?[0-9]+[lL]?\\b")
        return integer_end;
    if (pattern == u"\\b[+-]?0[xX][0-9A-Fa-f]+[lL]?\\b")
        return hex_end;
    if (pattern == u"\\b[+-]?[0-9]+(?:\\.[0-9]+)?(?:[eE][+-]?[0-9]+)?\\b")
        return float_end;
    return nullptr;
}

// PREFIX.+SUFFIX (`\bcol\[.+\]`, `___.+___`): .+ is greedy and stops only at LF, so the match
// ends at the last SUFFIX of the line that leaves at least one character for .+. When a prefix
// finds no such SUFFIX, no later prefix of the same line can (its .+ would start further right),
// so the search goes on at the next line: without that, a line of prefixes and no suffix is
// scanned to its end once for every prefix.
struct GreedyEnclosedFind {
    std::u16string prefix;
    std::u16string suffix;
    bool boundary_before;
    Span operator()(const Text &text, qsizetype from) const {
        const auto pl = qsizetype(prefix.size());
        const auto sl = qsizetype(suffix.size());
        for (qsizetype p = text.find(prefix, from); p >= 0;) {
            if (boundary_before && !text.boundary(p)) {
                p = text.find(prefix, p + 1);
                continue;
            }
            const qsizetype inner = p + pl;
            const qsizetype line_end = text.line_end(inner);
            for (qsizetype q = line_end - sl; q >= inner + 1; --q)
                if (text.data[q] == suffix[0] &&
                    std::u16string_view(text.data + q, size_t(sl)) == suffix)
                    return {p, q + sl};
            p = text.find(prefix, line_end + 1);
        }
        return {};
    }
};

// \b[A-Z]+[A-Z0-9\.\_]*\( : an upper-case letter after a non-word character, the longest run of
// the class, then the parenthesis. A failed start fails for every start inside the same run
// (they share its end), so the search resumes after the run.
struct UpperCallFind {
    static bool in_class(char16_t c) {
        return (c >= 'A' && c <= 'Z') || is_digit(c) || c == '.' || c == '_';
    }
    Span operator()(const Text &text, qsizetype from) const {
        for (qsizetype s = from; (s = find_range(text.data, text.size, s, 'A', 26)) >= 0; ++s) {
            if (text.word_at(s - 1))
                continue;
            qsizetype e = s + 1;
            while (e < text.size && in_class(text.data[e]))
                ++e;
            if (text.at(e) == '(')
                return {s, e + 1};
            s = e;
        }
        return {};
    }
};

// Anything else: the pattern's own QRegularExpression in the literal loop.
class RegexMatcher : public Matcher {
  public:
    RegexMatcher(const QString &pattern, int group) : re_(pattern), group_(group) {
        re_.optimize();
    }
    void paint(const Text &text, Unit *out) const override {
        // The text is valid UTF-16 here (see the top of this file).
        paint_loop(re_, group_, text.source, QRegularExpression::DontCheckSubjectStringMatchOption,
                   [&](qsizetype start, qsizetype length) {
                       if (start >= 0 && start < text.size)
                           fill(out, start, std::min(start + length, text.size), unit);
                   });
    }
    // The loop of the highlighters: search, colour the group, search again from its end. Stops
    // where the literal loop would search from the same offset again and never end.
    template <typename Paint>
    static void paint_loop(const QRegularExpression &re, int group, const QString &text,
                           QRegularExpression::MatchOptions options, Paint &&paint) {
        const auto search = [&](qsizetype offset) {
            return re.match(text, offset, QRegularExpression::NormalMatch, options);
        };
        qsizetype offset = 0;
        QRegularExpressionMatch match = search(offset);
        while (match.hasMatch()) {
            const qsizetype start = match.capturedStart(group);
            const qsizetype length = match.capturedLength(group);
            paint(start, length);
            // Searching again from where this search began (an empty match) or from before it
            // would not move on: the literal loop never ends there.
            if (start + length <= offset)
                return;
            offset = start + length;
            match = search(offset);
        }
    }

  private:
    QRegularExpression re_;
    int group_;
};

// A pattern that is a literal, possibly between \b assertions: its characters, or false.
bool parse_literal(const QString &pattern, ParsedLiteral &out) {
    static const std::u16string_view metachars = u".^$|?*+()[]{}";
    std::u16string_view p(reinterpret_cast<const char16_t *>(pattern.utf16()), pattern.size());
    if (p.substr(0, 2) == u"\\b") {
        out.boundary_before = true;
        p.remove_prefix(2);
    }
    for (size_t i = 0; i < p.size(); ++i) {
        const char16_t c = p[i];
        if (c == '\\') {
            if (i + 1 >= p.size())
                return false;
            const char16_t e = p[++i];
            if (e == 'b' && i + 1 == p.size()) {
                out.boundary_after = true;
                break;
            }
            // A backslash before a letter or digit is an escape sequence; before anything else
            // it makes that character literal.
            if (e >= 128 || is_word(e))
                return false;
            out.text.push_back(e);
        } else if (metachars.find(c) != std::u16string_view::npos) {
            return false;
        } else if (QChar::isSurrogate(c)) {
            // Qt takes a pattern for UTF-16: a lone surrogate makes it invalid (it never matches),
            // and a pair is one character that code-unit search would also find; leave both to Qt.
            return false;
        } else {
            out.text.push_back(c);
        }
    }
    return !out.text.empty();
}

// \bKEYWORD\b\s*(\w+) with group 1, for a keyword of word characters: see name_after.
bool parse_name_after(const Rule &rule, ParsedLiteral &out) {
    static const std::u16string_view before = u"\\b";
    static const std::u16string_view after = u"\\b\\s*(\\w+)";
    const std::u16string_view p(reinterpret_cast<const char16_t *>(rule.pattern.utf16()),
                                size_t(rule.pattern.size()));
    if (rule.group != 1 || p.size() <= before.size() + after.size() ||
        p.substr(0, before.size()) != before || p.substr(p.size() - after.size()) != after)
        return false;
    const std::u16string_view keyword =
        p.substr(before.size(), p.size() - before.size() - after.size());
    if (!std::all_of(keyword.begin(), keyword.end(), is_word))
        return false;
    out = {std::u16string(keyword), true, true, true};
    return true;
}

} // namespace

namespace {

// The matcher for a pattern of a known shape, or null.
std::unique_ptr<Matcher> shaped_matcher(const QString &pattern, int group) {
    const std::u16string p = pattern.toStdU16String();
    if (group != 0)
        return nullptr;
    for (char16_t q : {u'"', u'\''}) {
        const std::u16string quote(1, q);
        if (p == quote + u"[^" + quote + u"\\\\]*(\\\\.[^" + quote + u"\\\\]*)*" + quote)
            return loop(QuotedFind{q, QRegularExpression(pattern)}, chars_of(quote));
    }
    if (p == u"#[^\\n]*")
        return loop(LineTailFind{u"#"}, chars_of(u"#"));
    if (p == u"--[^\\n]*")
        return loop(LineTailFind{u"--"}, chars_of(u"-"));
    if (p == u"\\bcol\\[.+\\]")
        return loop(GreedyEnclosedFind{u"col[", u"]", true}, chars_of(u"["));
    if (p == u"___.+___")
        return loop(GreedyEnclosedFind{u"___", u"___", false}, chars_of(u"_"));
    if (p == u"\\b[A-Z]+[A-Z0-9\\.\\_]*\\(")
        return loop(UpperCallFind{}, chars_of(u"("));
    return nullptr;
}

} // namespace

struct RuleTable::Compiled {
    std::vector<std::unique_ptr<Matcher>> matchers;
    std::vector<FormatId> formats;            // each unit's
    std::vector<FormatId> formats_after_none; // kNoFormat, then `formats`
    bool units_are_formats = false;
};

RuleTable::RuleTable(const std::vector<Rule> &rules) : compiled_(std::make_unique<Compiled>()) {
    auto &matchers = compiled_->matchers;
    auto &formats = compiled_->formats;
    // Literals of every unit, by unit; then the highest unit that paints each ASCII character
    // wherever it occurs (a literal of one plain character), or -1.
    std::vector<std::pair<ParsedLiteral, Unit>> literals;
    std::array<Unit, 128> painted_by{};
    painted_by.fill(-1);
    auto numbers = std::make_unique<NumberMatcher>();
    for (size_t first = 0; first < rules.size();) {
        size_t last = first;
        while (last < rules.size() && rules[last].format == rules[first].format)
            ++last;
        const auto unit = Unit(formats.size());
        formats.push_back(FormatId(rules[first].format));
        const auto add = [&](std::unique_ptr<Matcher> matcher) {
            matcher->unit = unit;
            matchers.push_back(std::move(matcher));
        };
        for (size_t i = first; i < last; ++i) {
            const Rule &rule = rules[i];
            ParsedLiteral literal;
            if (parse_name_after(rule, literal)) {
                literals.emplace_back(std::move(literal), unit);
            } else if (auto end = rule.group == 0 ? number_shape(rule.pattern.toStdU16String())
                                                  : nullptr) {
                numbers->add(end, unit);
            } else if (rule.group == 0 && parse_literal(rule.pattern, literal)) {
                const bool plain = !literal.boundary_before && !literal.boundary_after;
                if (plain && literal.text.size() == 1 && literal.text[0] < 128)
                    painted_by[literal.text[0]] = unit;
                literals.emplace_back(std::move(literal), unit);
            } else if (auto shaped = shaped_matcher(rule.pattern, rule.group)) {
                add(std::move(shaped));
            } else {
                add(std::make_unique<RegexMatcher>(rule.pattern, rule.group));
            }
        }
        first = last;
    }

    auto literal_set = std::make_unique<LiteralSetMatcher>();
    std::array<bool, 128> kept{};
    for (auto &[literal, unit] : literals) {
        // A literal without assertions made only of characters that its unit or a later one
        // paints wherever they occur never shows (`==`, `<=`, `//` beside `=`, `<`, `/`); of
        // those characters themselves, the latest unit's stays, once.
        const bool plain = !literal.boundary_before && !literal.boundary_after;
        const bool covered = plain && std::all_of(literal.text.begin(), literal.text.end(),
                                                  [&, u = unit](char16_t c) {
                                                      return c < 128 && painted_by[c] >= u;
                                                  });
        if (covered) {
            const char16_t c = literal.text[0];
            if (literal.text.size() > 1 || painted_by[c] != unit || kept[c])
                continue;
            kept[c] = true;
        }
        literal_set->add(std::move(literal), unit);
    }
    if (!literal_set->empty()) {
        literal_set->seal();
        matchers.push_back(std::move(literal_set));
    }
    if (!numbers->empty())
        matchers.push_back(std::move(numbers));
    for (auto &m : matchers)
        m->seal_needs();
    compiled_->units_are_formats = true;
    for (size_t u = 0; u < formats.size(); ++u)
        compiled_->units_are_formats = compiled_->units_are_formats && formats[u] == FormatId(u);
    compiled_->formats_after_none.push_back(kNoFormat);
    compiled_->formats_after_none.insert(compiled_->formats_after_none.end(), formats.begin(),
                                         formats.end());
}

RuleTable::~RuleTable() = default;

int RuleTable::fallback_count() const {
    int n = 0;
    for (const auto &m : compiled_->matchers)
        n += dynamic_cast<const RegexMatcher *>(m.get()) != nullptr;
    return n;
}

void RuleTable::paint(const QString &qtext, FormatMap &out) const {
    const qsizetype size = qtext.size();
    const auto *data = reinterpret_cast<const char16_t *>(qtext.utf16());
    out.assign(size_t(size), kNoFormat);
    for (qsizetype i = find_range(data, size, 0, 0xD800, 0x800); i >= 0;
         i = find_range(data, size, i + 1, 0xD800, 0x800)) {
        if (!QChar::isHighSurrogate(data[i]) || i + 1 == size ||
            !QChar::isLowSurrogate(data[i + 1]))
            return; // a lone surrogate: Qt refuses the subject, so no rule colours anything
        ++i;
    }
    // On the stack for lines of up to 1024 characters.
    std::array<std::uint64_t, 16> short_words;
    std::vector<std::uint64_t> long_words(size > 1024 ? size_t(size + 63) / 64 : 0);
    std::uint64_t *words = long_words.empty() ? short_words.data() : long_words.data();
    word_bits(data, size, words);
    const Text text{qtext, data, size, find_range(data, size, 0, '\n', 1) >= 0, words};
    Unit *units = out.data();
    for (const auto &m : compiled_->matchers)
        if (m->may_match(text))
            m->paint(text, units);
    // Units to formats, through a table one longer: kNoFormat (-1) reads its first entry. Where
    // each unit's format is its own number (as the module numbers them), there is nothing to do.
    if (compiled_->units_are_formats)
        return;
    const FormatId *formats = compiled_->formats_after_none.data() + 1;
    for (qsizetype i = 0; i < size; ++i)
        units[i] = formats[units[i]];
}

RuleLoop::RuleLoop(const std::vector<Rule> &rules) {
    for (const Rule &rule : rules)
        rules_.emplace_back(QRegularExpression(rule.pattern), rule);
}

void RuleLoop::paint(const QString &text, FormatMap &out) const {
    out.assign(size_t(text.size()), kNoFormat);
    for (const auto &[re, rule] : rules_) {
        RegexMatcher::paint_loop(
            re, rule.group, text, QRegularExpression::NoMatchOption,
            [&, format = FormatId(rule.format)](qsizetype start, qsizetype length) {
                if (start >= 0 && start < text.size())
                    overwrite(out.data(), start, std::min(start + length, text.size()), format);
            });
    }
}

namespace {

// The last lone surrogate of the text, or -1.
qsizetype last_lone_surrogate(const QString &text) {
    qsizetype last = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            last = i;
    }
    return last;
}

// delimiter.match(text, offset).capturedStart() for the delimiter """, for the offsets the pass
// searches from: 0, and just after a delimiter or past the text's end. Beyond the end nothing
// matches, and neither does anything where a lone surrogate follows the offset (at `lone` or
// before it): Qt refuses such a subject. (Qt reads a negative offset from the end, and finds
// nothing from inside a surrogate pair; the pass never searches from there.)
qsizetype find_delimiter(const QString &text, qsizetype offset, qsizetype lone) {
    if (offset > text.size() || offset <= lone)
        return -1;
    return text.indexOf(QStringLiteral("\"\"\""), offset);
}

// Whether """ occurs: several times cheaper than QString::contains on the short lines of code,
// where most blocks have no double quote at all.
bool contains_delimiter(const QString &text) {
    const char16_t *data = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype size = text.size();
    const qsizetype first = find_range(data, size, 0, '"', 1);
    if (first < 0)
        return false;
    int run = 0;
    for (qsizetype i = first; i < size; ++i) {
        run = data[i] == '"' ? run + 1 : 0;
        if (run == 3)
            return true;
    }
    return false;
}

} // namespace

TripleQuoteResult paint_triple_quotes(const QString &text, qsizetype text_length,
                                      int previous_state, const TripleQuotePass &pass,
                                      FormatMap &out) {
    TripleQuoteResult result;
    // Most blocks neither start inside a string nor open one: nothing to look at.
    if (previous_state != pass.in_state && !contains_delimiter(text))
        return result;
    const auto block = qsizetype(out.size());
    const qsizetype lone = last_lone_surrogate(text);
    qsizetype start = 0;
    qsizetype add = 0;
    if (previous_state != pass.in_state) {
        start = find_delimiter(text, 0, lone);
        add = start >= 0 ? 3 : 0;
    }
    // Every string coloured is at least one unit long (through its closing delimiter, or to the
    // block's end from inside it, which lies beyond `start`), and the next is looked for after
    // it: the loop moves on.
    while (start >= 0) {
        const qsizetype close = find_delimiter(text, start + add, lone);
        const qsizetype end = close >= 0 ? close + 3 : -1;
        qsizetype length;
        if (end >= add) {
            length = end - start;
            result.state = 0;
        } else {
            result.state = pass.in_state;
            length = text_length - start + add;
        }
        if (start < block)
            overwrite(out.data(), start, std::min(start + length, block), pass.format);
        start = find_delimiter(text, start + length, lone);
        add = start >= 0 ? 3 : 0;
    }
    return result;
}

// Written out apart from paint_triple_quotes on purpose: a step the two shared would be held
// against itself.
TripleQuoteResult paint_triple_quotes_reference(const QString &text, qsizetype text_length,
                                                int previous_state, const TripleQuotePass &pass,
                                                FormatMap &out) {
    const QRegularExpression delimiter(QStringLiteral("\"\"\""));
    TripleQuoteResult result;
    const auto block = qsizetype(out.size());
    qsizetype start = 0;
    qsizetype add = 0;
    if (previous_state != pass.in_state) {
        const QRegularExpressionMatch first = delimiter.match(text);
        start = first.capturedStart();
        add = first.capturedEnd() - start;
    }
    while (start >= 0) {
        const qsizetype end = delimiter.match(text, start + add).capturedEnd();
        qsizetype length;
        if (end >= add) {
            length = end - start;
            result.state = 0;
        } else {
            result.state = pass.in_state;
            length = text_length - start + add;
        }
        // What setFormat colours: nothing from outside the block, nothing beyond its end (and
        // nothing for a length below 1, which the pass never gives: see paint_triple_quotes).
        if (start < block)
            overwrite(out.data(), start, std::min(start + length, block), pass.format);
        if (length <= 0)
            break;
        const QRegularExpressionMatch next = delimiter.match(text, start + length);
        start = next.capturedStart();
        add = next.capturedEnd() - start;
    }
    return result;
}

} // namespace shared_ui::highlight

// What the Python, formula and SQL highlighters share: the character-format helper, the palette
// choice, rule compilation and the single-line rule pass.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <initializer_list>
#include <tuple>

namespace shared_ui {
namespace py = pybind11;

// Method documentation shared by the three highlighters.
extern const char *const format_text_doc;
extern const char *const highlight_block_doc;

// One palette entry: the colour for each mode and an optional style ("italic", "bold").
struct StyleRow {
    const char *name;
    const char *light;
    const char *light_style;
    const char *dark;
    const char *dark_style;
};

// Literal patterns every highlighter colours the same way.
extern const char *const double_quoted_pattern; // "..." with backslash escapes
extern const char *const single_quoted_pattern; // '...' with backslash escapes
extern const char *const integer_pattern;
extern const char *const hex_pattern;
extern const char *const float_pattern;

// A rule given by its pattern text, the capture group to colour and its style name.
struct FixedRule {
    const char *pattern;
    int nth;
    const char *style;
};

// A Python list of the given pattern texts, in order.
py::list pattern_list(std::initializer_list<const char *> patterns);

// A new QTextCharFormat with `color` (a Qt colour name) as foreground; "bold" and "italic"
// anywhere in `style` switch those on.
py::object format_text(py::object color, py::object style);

// STYLES for a highlighter being built now: the dark or light column, by the host's dark-mode
// flag at this moment, each entry made by the instance's own format_text.
py::dict choose_palette(py::handle self, const StyleRow *rows, size_t count);

template <size_t N> py::dict choose_palette(py::handle self, const StyleRow (&rows)[N]) {
    return choose_palette(self, rows, N);
}

// Appends (pattern % entry, nth, format) for each entry of `patterns`.
void add_rules(py::list &rules, py::handle pattern, py::handle patterns, int nth,
               py::handle format);

// Appends (pattern, nth, STYLES[style]) for each fixed rule.
void add_rules(py::list &rules, const FixedRule *fixed, size_t count, const py::dict &styles);

template <size_t N>
void add_rules(py::list &rules, const FixedRule (&fixed)[N], const py::dict &styles) {
    add_rules(rules, fixed, N, styles);
}

// [(QRegularExpression(pattern), nth, format), ...] from the (pattern, nth, format) triples.
py::list compile_rules(const py::list &raw_rules);

// Unpacks a 3-item iterable the way `a, b, c = item` does.
std::tuple<py::object, py::object, py::object> unpack3(py::handle item);

// Length of `text` as Qt counts it (UTF-16 code units), which is what setFormat's positions and
// the regular expressions' offsets are measured in.
long qt_length(py::handle text);

// The single-line pass every highlighter runs: nothing for an empty block; otherwise every rule
// of self.rules in order, each match's group coloured with self.setFormat, then block state 0.
// Returns false when the block was empty (and left alone).
bool single_line_pass(py::handle self, py::handle text);

} // namespace shared_ui

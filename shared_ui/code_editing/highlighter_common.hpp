// What the Python, formula and SQL highlighters share: the character-format helper, the palette
// choice, rule compilation and the single-line rule pass.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
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

// [(QRegularExpression(pattern), nth, format), ...] from the (pattern, nth, format) triples.
py::list compile_rules(const py::list &raw_rules);

// Unpacks a 3-item iterable the way `a, b, c = item` does.
std::tuple<py::object, py::object, py::object> unpack3(py::handle item);

// The single-line pass every highlighter runs: nothing for an empty block; otherwise every rule
// of self.rules in order, each match's group coloured with self.setFormat, then block state 0.
// Returns false when the block was empty (and left alone).
bool single_line_pass(py::handle self, py::handle text);

} // namespace shared_ui

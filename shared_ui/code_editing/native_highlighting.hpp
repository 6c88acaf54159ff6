// The native path of highlightBlock: the highlight engine applied straight to the
// QSyntaxHighlighter, taken only while it gives exactly what the surface loop would.
#pragma once

#include <pybind11/pybind11.h>

namespace shared_ui {
namespace py = pybind11;

enum class HighlighterKind { Python, Formula, Sql };

// Called once a highlighter class is made: the methods it has then are the ones the module
// defines, against which subclasses and instances are compared.
void remember_highlighter_class(HighlighterKind kind, py::handle cls);

// Called by __init__ once `rules` (and for the Python highlighter `tri_double`) are built:
// remembers them and finds or builds the shared rule table for them.
void prepare_native_highlighting(py::handle self, HighlighterKind kind);

// Highlights the block natively and returns true, or returns false without doing anything when
// the surface loop must run: a subclass or the instance overrides setFormat,
// setCurrentBlockState, previousBlockState, currentBlockState (or match_multiline), `rules` or
// `tri_double` is no longer what __init__ built, or the text is not a non-empty str.
bool highlight_block_native(py::handle self, py::handle text, HighlighterKind kind);

} // namespace shared_ui

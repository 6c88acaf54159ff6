// The per-block highlighting loops, run step by step through the Python surface of the
// highlighter (its `rules`, `setFormat`, `setCurrentBlockState`, `match_multiline`), so that
// whatever a host subclass overrides is honoured. highlightBlock of each kind calls exactly one
// of these; a faster path may sit in front of them as long as it gives the same formats and
// block states.
#pragma once

#include <pybind11/pybind11.h>

namespace shared_ui {
namespace py = pybind11;

void python_highlight_block_surface(py::object self, py::object text);
void formula_highlight_block_surface(py::object self, py::object text);
void sql_highlight_block_surface(py::object self, py::object text);

} // namespace shared_ui

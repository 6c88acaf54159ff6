// The Python, formula and SQL highlighters and the editors that carry them.
#pragma once

#include <pybind11/pybind11.h>

namespace shared_ui {
namespace py = pybind11;

py::object make_VLMPythonHighlighter();
py::object make_VLMHighlighter();
py::object make_VLMCodeTextEdit();
py::object make_VLMSQLHighlighter();
py::object make_VLMSQLTextEdit();

} // namespace shared_ui

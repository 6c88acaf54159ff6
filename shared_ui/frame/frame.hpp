// The module frame's classes: the small value types.
#pragma once

#include <pybind11/pybind11.h>

namespace shared_ui {
namespace py = pybind11;

py::object make_MiniHistViewMode();
py::object make_SaveMode();
py::object make_TabNameHelper();

} // namespace shared_ui

// The column-statistics strip and its chart view.
#pragma once

#include <pybind11/pybind11.h>

namespace shared_ui {
namespace py = pybind11;

py::object make_MiniHistChartView();
py::object make_MiniHist();

} // namespace shared_ui

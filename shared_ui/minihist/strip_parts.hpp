// The statistics updates of MiniHist, defined apart from the strip's construction.
#pragma once

#include <pybind11/pybind11.h>

namespace shared_ui {
namespace py = pybind11;

void update_column_stats(py::object self, py::object hist_values, py::object bin_edges,
                         py::object hist_val_total_count, py::object min_val, py::object p25_val,
                         py::object p50_val, py::object p75_val, py::object max_val,
                         py::object avg_val, py::object is_boolean_field);

void update_ws_sampling_stats(py::object self, py::object total_rows, py::object worker_rows,
                              py::object app_rows, py::object total_rows_is_estimated);

} // namespace shared_ui

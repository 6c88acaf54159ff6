// Status bar and floating label, widget animator, dialog base and font helper, pick-values dialog.
#pragma once

#include <pybind11/pybind11.h>

namespace shared_ui {
namespace py = pybind11;

py::object make_WidgetAnimator();
py::object make_VLMDialog();
py::object make_FontHelper();
py::object make_PickAnyValueDialog();
py::object make_VLMFloatingLabel();
py::object make_VLMStatusBar();

} // namespace shared_ui

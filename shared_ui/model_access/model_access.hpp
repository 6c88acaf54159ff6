// The selected model's state and the two background loaders.
#pragma once

#include <pybind11/pybind11.h>

namespace shared_ui {
namespace py = pybind11;

py::object make_GetModelConfigThread();
py::object make_GetWorkflowServicesThread();
py::object make_ModelSelectionState();

} // namespace shared_ui

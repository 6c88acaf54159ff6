#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"
#include "model_access/model_access.hpp"

namespace shared_ui {

py::object make_GetModelConfigThread() {
    return ClassBuilder("GetModelConfigThread", {global("VLMThread")}).build();
}

py::object make_GetWorkflowServicesThread() {
    return ClassBuilder("GetWorkflowServicesThread", {global("VLMThread")}).build();
}

py::object make_ModelSelectionState() {
    return ClassBuilder("ModelSelectionState").build();
}

} // namespace shared_ui

#include "feedback/feedback.hpp"
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"

namespace shared_ui {

py::object make_WidgetAnimator() {
    return ClassBuilder("WidgetAnimator")
        .attr("logger", app_logger)
        .attr("app_state", [] { return global("app_state_glbl"); })
        .build();
}

py::object make_VLMDialog() {
    return ClassBuilder("VLMDialog", {global("QDialog")})
        .attr("logger", app_logger)
        .attr("app_state", [] { return global("app_state_glbl"); })
        .attr("core_conf", [] { return global("core_conf_glbl"); })
        .attr("app_conf", [] { return global("app_conf_glbl"); })
        .attr("icons", [] { return global("icons_glbl"); })
        .attr("notifier", [] { return global("notifier_glbl"); })
        .build();
}

py::object make_FontHelper() {
    return ClassBuilder("FontHelper").build();
}

py::object make_PickAnyValueDialog() {
    return ClassBuilder("PickAnyValueDialog", {global("VLMDialog")}).build();
}

py::object make_VLMFloatingLabel() {
    return ClassBuilder("VLMFloatingLabel", {global("QLabel")}).build();
}

py::object make_VLMStatusBar() {
    return ClassBuilder("VLMStatusBar", {global("QStatusBar")}).attr("logger", app_logger).build();
}

} // namespace shared_ui

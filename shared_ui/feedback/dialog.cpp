// VLMDialog, the base of the host's dialogs, and FontHelper, its font change without a dialog.
#include "feedback/feedback.hpp"
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"

namespace shared_ui {
namespace {

void font_helper_change_font_size(py::object widget, py::object increment_size,
                                  py::object decrement_size, py::object is_bold, py::object family,
                                  py::object weight, py::object is_italic) {
    recovering(
        [&] {
            // A copy: the widget keeps its font unless every step succeeds.
            py::object font = widget.attr("font")();
            if (!is_italic.is_none())
                font.attr("setItalic")(is_italic);
            if (!weight.is_none())
                font.attr("setWeight")(weight);
            if (!family.is_none())
                font.attr("setFamily")(family);
            // After the weight, so that is_bold decides when both are given.
            if (!is_bold.is_none())
                font.attr("setBold")(is_bold);
            if (!increment_size.is_none())
                font.attr("setPointSize")(font.attr("pointSize")() + increment_size);
            if (!decrement_size.is_none())
                font.attr("setPointSize")(font.attr("pointSize")() - decrement_size);
            widget.attr("setFont")(font);
        },
        [](py::error_already_set &error) {
            log_exception(app_logger(), "warning", py::str("Could not change font"), error);
        });
}

void dialog_init(py::object self, py::object parent) {
    super_of("VLMDialog", self).attr("__init__")(parent);
    // Deliberately shadows QObject.parent(): derived dialogs read the parent as a value.
    py::setattr(self, "parent", parent);
    self.attr("msg_box") = global("MsgBox")(self);
    self.attr("widget_animator") = global("WidgetAnimator")();
}

void fix_dark_mode(py::object self, py::object combo_widget) {
    guarded(
        self.attr("logger"), "error",
        [] { return py::str("Could not change stylesheet for dark mode"); },
        [&] {
            if (truth(self.attr("app_state").attr("is_dark_mode")))
                combo_widget.attr("setStyleSheet")("color: white;");
        });
}

void dialog_change_font_size(py::object widget, py::object increment_size,
                             py::object decrement_size, py::object is_bold, py::object family,
                             py::object weight, py::object is_italic) {
    global("FontHelper")
        .attr("change_font_size")(py::arg("widget") = widget,
                                  py::arg("increment_size") = increment_size,
                                  py::arg("decrement_size") = decrement_size,
                                  py::arg("is_bold") = is_bold, py::arg("family") = family,
                                  py::arg("weight") = weight, py::arg("is_italic") = is_italic);
}

// The widget's name for the error log; "?" for no widget, or one whose name cannot be read
// (already deleted), so that the failure is still reported.
py::str highlight_failure(py::handle widget) {
    py::str prefix("Could not highlight widget ");
    if (widget.is_none())
        return py::str(prefix + py::str("?"));
    try {
        return py::str(prefix + widget.attr("objectName")());
    } catch (py::error_already_set &) {
        return py::str(prefix + py::str("?"));
    }
}

void dialog_highlight_widget(py::object self, py::object widget, py::object highlight_for_msec) {
    guarded(
        self.attr("logger"), "error", [&] { return highlight_failure(widget); },
        [&] {
            self.attr("widget_animator")
                .attr("highlight_widget")(py::arg("widget") = widget,
                                          py::arg("highlight_for_msec") = highlight_for_msec);
        });
}

// The font options in the order both classes declare them, with None meaning "leave as is".
template <typename Func> ClassBuilder &font_method(ClassBuilder &builder, Func &&func) {
    return builder.static_method("change_font_size", std::forward<Func>(func), py::arg("widget"),
                                 py::arg("increment_size") = py::none(),
                                 py::arg("decrement_size") = py::none(),
                                 py::arg("is_bold") = py::none(), py::arg("family") = py::none(),
                                 py::arg("weight") = py::none(), py::arg("is_italic") = py::none());
}

} // namespace

py::object make_VLMDialog() {
    ClassBuilder builder("VLMDialog", {global("QDialog")});
    builder.attr("logger", app_logger)
        .attr("app_state", [] { return global("app_state_glbl"); })
        .attr("core_conf", [] { return global("core_conf_glbl"); })
        .attr("app_conf", [] { return global("app_conf_glbl"); })
        .attr("icons", [] { return global("icons_glbl"); })
        .attr("notifier", [] { return global("notifier_glbl"); })
        .method("__init__", &dialog_init, py::arg("self"), py::arg("parent"))
        .method("fix_dark_mode", &fix_dark_mode, py::arg("self"), py::arg("combo_widget"));
    font_method(builder, &dialog_change_font_size)
        .method("highlight_widget", &dialog_highlight_widget, py::arg("self"), py::arg("widget"),
                py::arg("highlight_for_msec") = 3000);
    return builder.build();
}

py::object make_FontHelper() {
    ClassBuilder builder("FontHelper");
    return font_method(builder, &font_helper_change_font_size).build();
}

} // namespace shared_ui

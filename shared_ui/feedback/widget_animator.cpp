// WidgetAnimator: restyles a widget for a while, then puts its own style sheet back.
#include "feedback/feedback.hpp"
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"

#include <QObject>
#include <QPointer>

namespace shared_ui {
namespace {

py::str stylesheet_failure() {
    return py::str("Could not change stylesheet");
}

void reset_style_sheet(py::object self, py::object widget, py::object original_style_sheet) {
    guarded(self.attr("logger"), "debug", stylesheet_failure, [&] {
        if (widget.is_none() || truth(global("sip").attr("isdeleted")(widget)))
            return;
        if (truth(widget.attr("isVisible")()))
            widget.attr("setStyleSheet")(original_style_sheet);
    });
}

// The restore runs seconds later; by then the widget may be gone. sip.isdeleted is only as good
// as sip's view of the object's life, which can miss the deletion of an object that C++ created
// and Python merely wrapped; a QPointer sees every deletion, so a wrapper it outlived is marked
// deleted before reset_style_sheet looks at it.
void schedule_restore(py::object self, py::object widget, py::object original_style_sheet,
                      py::object display_for_msec) {
    const bool tracked = py::isinstance(widget, global("QObject"));
    QPointer<QObject> alive;
    if (tracked)
        alive = qt_pointer<QObject>(widget, global("QObject"));
    py::cpp_function restore([self, widget, original_style_sheet, tracked, alive]() {
        if (tracked && alive.isNull()) {
            py::object sip = global("sip");
            if (!truth(sip.attr("isdeleted")(widget)))
                sip.attr("setdeleted")(widget);
        }
        self.attr("reset_style_sheet")(widget, original_style_sheet);
    });
    global("QTimer").attr("singleShot")(display_for_msec, restore);
}

void set_animation_to_widget(py::object self, py::object widget, py::object style,
                             py::object display_for_msec) {
    guarded(self.attr("logger"), "debug", stylesheet_failure, [&] {
        // An ID selector keeps the highlight on the group box itself: plain declarations on a
        // group box would cascade into every widget inside it.
        if (py::isinstance(widget, global("QGroupBox"))) {
            py::object group_box_name =
                py::str("QGroupBox#") + py::str(widget.attr("objectName")());
            style = group_box_name + py::str("{") + style + py::str("}");
        }
        py::object original_style_sheet = widget.attr("styleSheet")();
        if (truth(original_style_sheet)) {
            py::object last_bracket_index = original_style_sheet.attr("rfind")("}");
            if (last_bracket_index.equal(py::int_(-1))) {
                style = original_style_sheet + style;
            } else {
                // Inside the widget's last rule block, so the declarations join that rule.
                py::object head =
                    original_style_sheet[py::slice(py::none(), last_bracket_index, py::none())];
                py::object tail =
                    original_style_sheet[py::slice(last_bracket_index, py::none(), py::none())];
                style = head + py::str(" ") + style + py::str(" ") + tail;
            }
        }
        widget.attr("setStyleSheet")(style);
        schedule_restore(self, widget, original_style_sheet, display_for_msec);
    });
}

void highlight_widget(py::object self, py::object widget, py::object highlight_for_msec) {
    const char *highlighted_style = truth(self.attr("app_state").attr("is_dark_mode"))
                                        ? "color: orange; font-weight: bold;"
                                        : "color: blue; font-weight: bold;";
    self.attr("set_animation_to_widget")(py::arg("widget") = widget,
                                         py::arg("style") = highlighted_style,
                                         py::arg("display_for_msec") = highlight_for_msec);
}

} // namespace

py::object make_WidgetAnimator() {
    return ClassBuilder("WidgetAnimator")
        .attr("logger", app_logger)
        .attr("app_state", [] { return global("app_state_glbl"); })
        .method("reset_style_sheet", &reset_style_sheet, py::arg("self"), py::arg("widget"),
                py::arg("original_style_sheet") = "")
        .method("set_animation_to_widget", &set_animation_to_widget, py::arg("self"),
                py::arg("widget"), py::arg("style"), py::arg("display_for_msec") = 3000)
        .method("highlight_widget", &highlight_widget, py::arg("self"), py::arg("widget"),
                py::arg("highlight_for_msec") = 3000)
        .build();
}

} // namespace shared_ui

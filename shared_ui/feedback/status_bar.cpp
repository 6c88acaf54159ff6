// VLMFloatingLabel and VLMStatusBar: one timed message at a time, in the bar or floating over
// the window's bottom-right corner.
#include "feedback/feedback.hpp"
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"

namespace shared_ui {
namespace {

py::object alignment(const char *flag) {
    return global("Qt").attr("AlignmentFlag").attr(flag);
}

// None and "" count as no message: they neither show the bar nor start the hiding timer.
bool non_empty(py::handle message) {
    return truth(message) && py::len(message) > 0;
}

void floating_label_mouse_press(py::object self, py::object /*event*/) {
    // Not passed on to QLabel: the click only dismisses the label.
    self.attr("setVisible")(false);
}

void status_bar_init(py::object self, py::object parent) {
    super_of("VLMStatusBar", self).attr("__init__")(parent);
    self.attr("app_state") = global("app_state_glbl");

    self.attr("status_label") = global("QLabel")(self);
    py::object status_label = self.attr("status_label");
    status_label.attr("setAlignment")(alignment("AlignRight"));
    self.attr("addWidget")(status_label, 1);

    // A sibling of the bar, so it can be placed over the window's content rather than inside
    // the bar's own narrow strip.
    self.attr("floating_status_label") = global("VLMFloatingLabel")(self.attr("parent")());
    py::object floating = self.attr("floating_status_label");
    floating.attr("setAlignment")(alignment("AlignRight") | alignment("AlignBottom"));
    self.attr("floating_status_font_metrics") = global("QFontMetrics")(floating.attr("font")());

    // No parent: the bar's Python object owns it, so it goes with the bar.
    self.attr("hide_status_bar_timer") = global("QTimer")();
    self.attr("hide_status_bar_timer")
        .attr("timeout")
        .attr("connect")(self.attr("_on_status_bar_timer"));
    self.attr("time_to_hide") = py::none();
}

bool deleted(py::handle widget) {
    return truth(global("sip").attr("isdeleted")(widget));
}

void on_status_bar_timer(py::object self, py::args, py::kwargs) {
    // The timer lives as long as the bar's Python object, which can outlast the widget. PyQt
    // stops delivering its timeouts once the bar is deleted, but a call that still arrives
    // finds nothing left to clear, so it only stops the polling.
    if (deleted(self)) {
        self.attr("hide_status_bar_timer").attr("stop")();
        return;
    }
    py::object time_to_hide = self.attr("time_to_hide");
    if (!time_to_hide.is_none() && global("datetime").attr("now")() >= time_to_hide) {
        try {
            self.attr("clear_messages_and_hide")();
        } catch (py::error_already_set &error) {
            // The floating label belongs to the bar's first parent, which can go while the bar
            // lives on in another window. A label that is gone needs no clearing, and the
            // error would abort the host from inside this slot; any other failure is the
            // caller's.
            if (!error.matches(PyExc_RuntimeError) ||
                !(deleted(self.attr("floating_status_label")) ||
                  deleted(self.attr("status_label"))))
                throw;
        }
        self.attr("hide_status_bar_timer").attr("stop")();
    }
}

void clear_messages_and_hide(py::object self) {
    self.attr("clearMessage")();
    self.attr("status_label").attr("setText")("");
    self.attr("setVisible")(false);
    self.attr("floating_status_label").attr("setText")("");
    self.attr("floating_status_label").attr("setVisible")(false);
}

bool has_messages(py::object self) {
    if (py::len(self.attr("currentMessage")()) > 0)
        return true;
    if (py::len(self.attr("status_label").attr("text")()) > 0)
        return true;
    return py::len(self.attr("floating_status_label").attr("text")()) > 0;
}

void set_timer_to_hide(py::object self, py::object msecs) {
    recovering(
        [&] {
            if (self.attr("app_state").is_none())
                return;
            // The latest message decides, even when it shortens the deadline; the poll timer
            // keeps its interval, so the hiding may come up to one interval late.
            self.attr("time_to_hide") = global("datetime").attr("now")() +
                                        global("timedelta")(py::arg("milliseconds") = msecs);
            py::object timer = self.attr("hide_status_bar_timer");
            if (!truth(timer.attr("isActive")()))
                timer.attr("start")(msecs);
        },
        [&](py::error_already_set &) { self.attr("clear_messages_and_hide")(); });
}

// Places the floating label 28 pixels in from the right and 5 up from the bottom of the window,
// painted in the bar's own window colour. Throws when the bar has no parent to float over.
void show_floating(py::object self, py::object message) {
    py::object metrics = self.attr("floating_status_font_metrics");
    py::object msg_width = metrics.attr("horizontalAdvance")(message);
    py::object msg_height = metrics.attr("height")();
    py::object floating = self.attr("floating_status_label");
    floating.attr("setText")(message);
    py::object screen_rect = self.attr("parent")().attr("window")().attr("geometry")();
    floating.attr("setGeometry")(screen_rect.attr("width")() - msg_width - py::int_(38),
                                 screen_rect.attr("height")() - msg_height - py::int_(10),
                                 msg_width + py::int_(10), msg_height + py::int_(5));
    py::object color =
        self.attr("palette")().attr("color")(global("QPalette").attr("ColorRole").attr("Window"));
    py::object style = py::str("background-color: rgb(") + py::str(color.attr("red")()) +
                       py::str(", ") + py::str(color.attr("green")()) + py::str(", ") +
                       py::str(color.attr("blue")()) + py::str(")");
    floating.attr("setStyleSheet")(style);
    floating.attr("setVisible")(true);
}

void show_message2(py::object self, py::object message, py::object msecs,
                   py::object use_floating_label) {
    bool floating = truth(use_floating_label);
    if (floating) {
        recovering([&] { show_floating(self, message); },
                   [&](py::error_already_set &error) {
                       py::object label = self.attr("floating_status_label");
                       label.attr("setText")("");
                       label.attr("setVisible")(false);
                       floating = false;
                       log_exception(self.attr("logger"), "warning",
                                     py::str("Could not display floating status label"), error);
                   });
    }
    if (!floating) {
        self.attr("status_label").attr("setText")(message);
        if (non_empty(message))
            self.attr("setVisible")(true);
    }
    if (non_empty(message))
        self.attr("set_timer_to_hide")(msecs);
}

void show_message(py::object self, py::object message, py::object msecs) {
    super_of("VLMStatusBar", self).attr("showMessage")(message, msecs);
    if (non_empty(message)) {
        self.attr("setVisible")(true);
        self.attr("set_timer_to_hide")(msecs);
    }
}

void clear_message(py::object self) {
    super_of("VLMStatusBar", self).attr("clearMessage")();
    self.attr("status_label").attr("setText")("");
}

} // namespace

py::object make_VLMFloatingLabel() {
    return ClassBuilder("VLMFloatingLabel", {global("QLabel")})
        .method("mousePressEvent", &floating_label_mouse_press, py::arg("self"), py::arg("event"))
        .build();
}

py::object make_VLMStatusBar() {
    return ClassBuilder("VLMStatusBar", {global("QStatusBar")})
        .attr("logger", app_logger)
        .method("__init__", &status_bar_init, py::arg("self"), py::arg("parent"))
        .method("_on_status_bar_timer", &on_status_bar_timer, py::arg("self"))
        .method("clear_messages_and_hide", &clear_messages_and_hide, py::arg("self"))
        .method("has_messages", &has_messages, py::arg("self"))
        .method("set_timer_to_hide", &set_timer_to_hide, py::arg("self"), py::arg("msecs"))
        .method("showMessage2", &show_message2, py::arg("self"), py::arg("message"),
                py::arg("msecs"), py::arg("use_floating_label") = true)
        .method("showMessage", &show_message, py::arg("self"), py::arg("message"),
                py::arg("msecs") = 1000)
        .method("clearMessage", &clear_message, py::arg("self"))
        .build();
}

} // namespace shared_ui

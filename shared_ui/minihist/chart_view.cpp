// MiniHistChartView: the strip's small bar chart with one series of one bar set, and the mouse
// handling that explains the bar under the pointer.
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"
#include "minihist/minihist.hpp"
#include "minihist/python_ops.hpp"

#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtWidgets/QGraphicsScene>

namespace shared_ui {
namespace {

// QChartView keeps a plain pointer to its chart, so after the host deletes the chart the view
// would hand out a dangling one. A deleted item has left the view's scene: check that first,
// then ask the view through Python as usual.
py::object chart_of(py::handle self) {
    auto *view = qt_pointer<QChartView>(self, global("QChartView"));
    QChart *chart = view->chart();
    QGraphicsScene *scene = view->scene();
    if (chart != nullptr && (scene == nullptr || !scene->items().contains(chart))) {
        // The words sip uses for any other deleted object.
        PyErr_SetString(PyExc_RuntimeError, "wrapped C/C++ object of type QChart has been deleted");
        throw py::error_already_set();
    }
    return self.attr("chart")();
}

py::object new_bar_set() {
    return global("QBarSet")("VLMBarSet", py::arg("parent") = py::none());
}

void set_max_chart_size(py::handle self) {
    chart_of(self).attr("setMaximumSize")(app_def("M_HIST_MAX_WIDTH"),
                                          app_def("M_HIST_MIN_MAX_HEIGHT"));
}

void init(py::object self, py::object chart, py::object parent, py::object on_vlm_click_handler) {
    super_of("MiniHistChartView", self).attr("__init__")(chart, parent);
    self.attr("view_mode") = view_mode("WS_SAMPLING_STAT");
    self.attr("bin_edges") = list_of(-1);
    self.attr("hist_values") = list_of(-1);
    self.attr("hist_val_total_count") = -1;
    self.attr("std_val") = -1.0;
    self.attr("default_description") = py::none();
    self.attr("on_vlm_click_handler") = on_vlm_click_handler;
    self.attr("app_state") = global("app_state_glbl");
    self.attr("current_series_pos") = 0;
    self.attr("setToolTipDuration")(app_def("M_HIST_TOOL_TIP_DURATION"));

    py::object size_policy_type = global("QSizePolicy");
    py::object policy = size_policy_type.attr("Policy");
    py::object size_policy = size_policy_type(policy.attr("Expanding"), policy.attr("Fixed"));
    size_policy.attr("setHorizontalStretch")(0);
    size_policy.attr("setVerticalStretch")(0);
    chart_of(self).attr("setSizePolicy")(size_policy);

    set_max_chart_size(self);
    chart_of(self).attr("setMinimumSize")(app_def("M_HIST_MIN_WIDTH"),
                                          app_def("M_HIST_MIN_MAX_HEIGHT"));
    chart_of(self).attr("setAnimationOptions")(
        global("QChart").attr("AnimationOption").attr("AllAnimations"));
    chart_of(self).attr("legend")().attr("setVisible")(false);

    // Decided once: a view keeps the background it was born with when the host changes mode.
    py::object app_state = self.attr("app_state");
    bool dark = truth(app_state) && truth(app_state.attr("is_dark_mode"));
    py::object chart_now = chart_of(self);
    chart_now.attr("setBackgroundVisible")(!dark);
    chart_now.attr("setBackgroundBrush")(
        global("QBrush")(global("QColor")(dark ? "transparent" : "White")));

    // A strip is only a few dozen pixels high: every margin would eat into the bars.
    chart_of(self).attr("setMargins")(global("QMargins")(0, 0, 0, 0));
    chart_of(self).attr("setContentsMargins")(0, 0, 0, 0);
    chart_of(self).attr("setWindowFrameMargins")(0, 0, 0, 0);
    chart_of(self).attr("layout")().attr("setContentsMargins")(0, 0, 0, 0);

    self.attr("bar_set") = new_bar_set();
    self.attr("series") = global("QBarSeries")(py::arg("parent") = py::none());
    self.attr("series").attr("append")(self.attr("bar_set"));
    chart_of(self).attr("addSeries")(self.attr("series"));

    self.attr("processing_mouse_move") = false;
    self.attr("vlm_number_format_util") = global("NumberFormatUtil")();
}

void set_animations_on(py::object self, py::object animations_on) {
    py::object chart = chart_of(self);
    py::object option = global("QChart").attr("AnimationOption");
    chart.attr("setAnimationOptions")(
        option.attr(truth(animations_on) ? "AllAnimations" : "NoAnimation"));
}

void update_chart(py::object self, py::object hist_values, py::object bin_edges,
                  py::object hist_val_total_count, py::object view_mode_arg,
                  py::object default_description) {
    self.attr("view_mode") = view_mode_arg;
    self.attr("hist_values") = hist_values;
    self.attr("bin_edges") = bin_edges;
    self.attr("hist_val_total_count") = hist_val_total_count;
    self.attr("default_description") = default_description;

    // Removing hands the old series back to its Python wrapper; rebinding `series` below
    // then destroys it together with its bar set.
    chart_of(self).attr("removeSeries")(self.attr("series"));

    self.attr("bar_set") = new_bar_set();
    for (py::handle value : hist_values)
        self.attr("bar_set").attr("append")(value);

    // Three bars or fewer read better stacked on top of each other beside the captions.
    const char *series_type = py::len(hist_values) >= 4 ? "QBarSeries" : "QHorizontalBarSeries";
    self.attr("series") = global(series_type)(py::arg("parent") = py::none());
    set_max_chart_size(self);

    self.attr("series").attr("append")(self.attr("bar_set"));
    chart_of(self).attr("addSeries")(self.attr("series"));
}

// Stores and returns the index of the bar under the pointer. Vertical bars are laid out along
// x, horizontal ones along y; the result is not range-checked.
py::object bar_index_at(py::handle self, py::handle event) {
    py::object chart_pos = chart_of(self).attr("mapToValue")(event.attr("position")());
    bool vertical = py::isinstance(self.attr("series"), global("QBarSeries"));
    py::object coordinate = chart_pos.attr(vertical ? "x" : "y")();
    // round() on a float rounds half to even, which decides the boundary between two bars.
    py::object index = global("int")(global("round")(coordinate));
    self.attr("current_series_pos") = index;
    return index;
}

py::object mouse_press_event(py::object self, py::object event, py::args, py::kwargs) {
    if (!self.attr("on_vlm_click_handler").is_none() &&
        compares(self.attr("view_mode"), Py_EQ, view_mode("COLUMN_STAT"))) {
        bar_index_at(self, event);
        self.attr("on_vlm_click_handler")();
    }
    return py::none();
}

py::object mouse_move_event(py::object self, py::object event, py::args, py::kwargs) {
    py::object mode = self.attr("view_mode");
    if (compares(mode, Py_EQ, view_mode("COLUMN_STAT")))
        self.attr("on_mouse_move_for_column_stat")(event);
    else if (compares(mode, Py_EQ, view_mode("WS_SAMPLING_STAT")))
        self.attr("on_mouse_move_for_sampling_stat")(event);
    return py::none();
}

void on_mouse_move_for_sampling_stat(py::object self, py::object /*event*/) {
    py::object description = self.attr("default_description");
    if (truth(description)) {
        self.attr("setToolTip")(description);
        chart_of(self).attr("setToolTip")(description);
    }
}

// The tool tip of bar `index`: its value range (or, with one or two bars, the edge it stands
// for), its count and its share of all values.
py::str column_tool_tip(py::handle self, py::object index) {
    py::object hist_values = self.attr("hist_values");
    py::object bin_edges = self.attr("bin_edges");
    py::object total = self.attr("hist_val_total_count");

    // The top bucket includes its upper edge, every other bucket excludes it.
    py::str last_bin_symbol(
        compares(index + py::int_(2), Py_EQ, py::int_(py::len(bin_edges))) ? "&le;" : "&lt;");

    py::object bin_percent = py::float_(50.0);
    if (compares(total, Py_GT, py::int_(0)))
        bin_percent = global("float")(
            global("round")(py::int_(100) * py::object(hist_values[index]) / total, py::int_(1)));

    py::object format_util = self.attr("vlm_number_format_util");
    auto formatted = [&](py::object value) {
        return py::str(format_util.attr("format_number")(value));
    };
    py::str percent = global("format")(bin_percent, "g");

    py::list parts;
    if (py::len(hist_values) >= 3) {
        for (py::object part :
             {py::object(py::str("<b>&ge;")), py::object(formatted(bin_edges[index])),
              py::object(py::str("</b> to <b>")), py::object(last_bin_symbol),
              py::object(formatted(bin_edges[index + py::int_(1)])),
              py::object(py::str("</b> <br><b>")), py::object(formatted(hist_values[index])),
              py::object(py::str("</b> samples, <b>")), py::object(percent),
              py::object(py::str("%</b> "))})
            parts.append(part);
    } else {
        // Reduced histograms: the first bar names the lowest edge, the other the highest.
        py::object edge_val = compares(index, Py_EQ, py::int_(0))
                                  ? py::object(bin_edges[index])
                                  : py::object(bin_edges[index + py::int_(1)]);
        for (py::object part :
             {py::object(py::str("<b>")), py::object(formatted(edge_val)),
              py::object(py::str("</b> has <b>")), py::object(formatted(hist_values[index])),
              py::object(py::str("</b> samples <b>")), py::object(percent),
              py::object(py::str("%</b>"))})
            parts.append(part);
    }
    return py::str("").attr("join")(parts);
}

void on_mouse_move_for_column_stat(py::object self, py::object event) {
    guarded(
        self.attr("logger"), "error",
        [] { return py::str("Could not handle mouse move event for mini histogram"); },
        [&] {
            py::object index = bar_index_at(self, event);
            if (compares(index, Py_LT, py::int_(0)) ||
                compares(index + py::int_(1), Py_GT, py::int_(py::len(self.attr("hist_values"))))) {
                self.attr("setToolTip")("");
                global("QToolTip").attr("hideText")();
                return;
            }
            py::str tool_tip_text = column_tool_tip(self, index);
            py::object global_pos = self.attr("mapToGlobal")(event.attr("pos")());
            global("QToolTip").attr("showText")(global_pos, tool_tip_text);
            self.attr("setToolTip")(tool_tip_text);
            chart_of(self).attr("setToolTip")(tool_tip_text);
        });
}

} // namespace

py::object make_MiniHistChartView() {
    return ClassBuilder("MiniHistChartView", {global("QChartView")})
        .attr("logger", app_logger)
        .method("__init__", &init, py::arg("self"), py::arg("chart"), py::arg("parent"),
                py::arg("on_vlm_click_handler"))
        .method("set_animations_on", &set_animations_on, py::arg("self"), py::arg("animations_on"))
        .method("update_chart", &update_chart, py::arg("self"), py::arg("hist_values"),
                py::arg("bin_edges"), py::arg("hist_val_total_count"), py::arg("view_mode"),
                py::arg("default_description") = py::none())
        .method("mousePressEvent", &mouse_press_event, py::arg("self"), py::arg("event"))
        .method("mouseMoveEvent", &mouse_move_event, py::arg("self"), py::arg("event"))
        .method("on_mouse_move_for_sampling_stat", &on_mouse_move_for_sampling_stat,
                py::arg("self"), py::arg("event"))
        .method("on_mouse_move_for_column_stat", &on_mouse_move_for_column_stat, py::arg("self"),
                py::arg("event"))
        .build();
}

} // namespace shared_ui

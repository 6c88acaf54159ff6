// MiniHist: three caption/value pairs on each side of a MiniHistChartView.
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"
#include "minihist/minihist.hpp"
#include "minihist/python_ops.hpp"
#include "minihist/strip_parts.hpp"

#include <string>

namespace shared_ui {
namespace {

// Slot order: the left column top to bottom, then the right column top to bottom.
const char *const slot_sides[] = {"left", "left", "left", "right", "right", "right"};

std::string label_name(int slot, const char *kind) {
    return slot_sides[slot] + std::to_string(slot % 3 + 1) + kind;
}

// One column of three pairs: captions in grid column 0, values in column 1.
void add_label_column(py::handle self, int first_slot, py::handle grid, py::handle size_policy,
                      py::handle font, bool align_values_right) {
    for (int slot = first_slot; slot < first_slot + 3; ++slot) {
        for (int column = 0; column < 2; ++column) {
            std::string name = label_name(slot, column == 0 ? "Label" : "ValueLabel");
            self.attr(name.c_str()) = global("QLabel")(self);
            py::object label = self.attr(name.c_str());
            label.attr("setObjectName")(name);
            label.attr("setSizePolicy")(size_policy);
            label.attr("setFont")(font);
            int row = slot % 3;
            if (column == 1 && align_values_right)
                grid.attr("addWidget")(label, row, column, 1, 1,
                                       global("Qt").attr("AlignmentFlag").attr("AlignRight"));
            else
                grid.attr("addWidget")(label, row, column, 1, 1);
        }
    }
}

py::object fixed_size_grid(const char *name) {
    py::object grid = global("QGridLayout")();
    grid.attr("setObjectName")(name);
    grid.attr("setSizeConstraint")(global("QLayout").attr("SizeConstraint").attr("SetFixedSize"));
    return grid;
}

void init(py::object self, py::object parent, py::object on_vlm_click_handler) {
    super_of("MiniHist", self).attr("__init__")(parent);
    self.attr("visible_state") = false;

    py::object font = global("QFont")();
    font.attr("setPointSize")(font.attr("pointSize")() - py::int_(2));

    self.attr("horizontalLayout") = global("QHBoxLayout")(self);
    py::object layout = self.attr("horizontalLayout");
    layout.attr("setObjectName")("horizontalLayout");
    layout.attr("setContentsMargins")(0, 0, 0, 0);

    self.attr("gridLayoutLeft") = fixed_size_grid("gridLayoutLeft");

    py::object size_policy_type = global("QSizePolicy");
    py::object fixed = size_policy_type.attr("Policy").attr("Fixed");
    py::object size_policy = size_policy_type(fixed, fixed);
    size_policy.attr("setHorizontalStretch")(0);
    size_policy.attr("setVerticalStretch")(0);
    size_policy.attr("setHeightForWidth")(false);

    add_label_column(self, 0, self.attr("gridLayoutLeft"), size_policy, font, true);
    layout.attr("addLayout")(self.attr("gridLayoutLeft"));

    self.attr("mini_hist_chart_view") = global("MiniHistChartView")(
        global("QChart")(py::arg("parent") = py::none()), self, on_vlm_click_handler);
    py::object view = self.attr("mini_hist_chart_view");
    view.attr("setMaximumSize")(app_def("M_HIST_MAX_WIDTH"), app_def("M_HIST_MIN_MAX_HEIGHT"));
    view.attr("setMinimumSize")(app_def("M_HIST_MIN_WIDTH"), app_def("M_HIST_MIN_MAX_HEIGHT"));
    py::object policy = size_policy_type.attr("Policy");
    py::object vlm_stats_chart_view_size_policy =
        size_policy_type(policy.attr("Expanding"), policy.attr("Fixed"));
    view.attr("setSizePolicy")(vlm_stats_chart_view_size_policy);
    view.attr("setRenderHint")(global("QPainter").attr("RenderHint").attr("Antialiasing"));
    view.attr("setViewportMargins")(0, 0, 0, 0);
    view.attr("setContentsMargins")(0, 0, 0, 0);
    layout.attr("addWidget")(view);

    self.attr("gridLayoutRight") = fixed_size_grid("gridLayoutRight");
    add_label_column(self, 3, self.attr("gridLayoutRight"), size_policy, font, false);
    layout.attr("addLayout")(self.attr("gridLayoutRight"));
    self.attr("setLayout")(layout);

    self.attr("vlm_number_format_util") =
        global("NumberFormatUtil")(py::arg("use_less_space") = true);
}

// Whether a statistics update has filled the strip, which is what the host asks; Qt's own
// visibility is still there for Qt.
py::object is_visible(py::object self) {
    return self.attr("visible_state");
}

py::object view_mode_of(py::object self) {
    return self.attr("mini_hist_chart_view").attr("view_mode");
}

void set_animations_on(py::object self, py::object animations_on) {
    self.attr("mini_hist_chart_view").attr("set_animations_on")(animations_on);
}

// An empty caption hides its pair and leaves its texts for later; a blank caption keeps the
// pair on screen without a caption.
void update_bucket_labels(py::object self, py::object arr_label_and_value) {
    for (int slot = 0; slot < 6; ++slot) {
        py::object pair = arr_label_and_value[py::int_(slot)];
        py::object label = pair[py::int_(0)];
        bool visible = py::len(label) > 0;
        py::object caption_label = self.attr(label_name(slot, "Label").c_str());
        py::object value_label = self.attr(label_name(slot, "ValueLabel").c_str());
        caption_label.attr("setVisible")(visible);
        value_label.attr("setVisible")(visible);
        if (!visible)
            continue;
        caption_label.attr("setText")(label);
        py::object value = pair[py::int_(1)];
        if (PyFloat_Check(value.ptr())) {
            value_label.attr("setText")(
                self.attr("vlm_number_format_util").attr("format_number")(value));
        } else {
            PyObject *text = PyUnicode_Format(py::str("%s").ptr(), value.ptr());
            if (text == nullptr)
                throw py::error_already_set();
            value_label.attr("setText")(py::reinterpret_steal<py::object>(text));
        }
    }
}

} // namespace

py::object make_MiniHist() {
    return ClassBuilder("MiniHist", {global("QWidget")})
        .method("__init__", &init, py::arg("self"), py::arg("parent"),
                py::arg("on_vlm_click_handler") = py::none())
        .method("isVisible", &is_visible, py::arg("self"))
        .property("view_mode", &view_mode_of, py::arg("self"))
        .method("set_animations_on", &set_animations_on, py::arg("self"), py::arg("animations_on"))
        .private_method("__update_bucket_labels", &update_bucket_labels, py::arg("self"),
                        py::arg("arr_label_and_value"))
        .method("update_column_stats", &update_column_stats, py::arg("self"),
                py::arg("hist_values"), py::arg("bin_edges"), py::arg("hist_val_total_count"),
                py::arg("min_val"), py::arg("p25_val"), py::arg("p50_val"), py::arg("p75_val"),
                py::arg("max_val"), py::arg("avg_val"), py::arg("is_boolean_field") = false)
        .method("update_ws_sampling_stats", &update_ws_sampling_stats, py::arg("self"),
                py::arg("total_rows"), py::arg("worker_rows"), py::arg("app_rows"),
                py::arg("total_rows_is_estimated") = true)
        .build();
}

} // namespace shared_ui

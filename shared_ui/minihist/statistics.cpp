// The two ways the host fills a MiniHist: one column's distribution, or a sampling summary.
#include "frame/module_globals.hpp"
#include "minihist/python_ops.hpp"
#include "minihist/strip_parts.hpp"

namespace shared_ui {
namespace {

// A pair stays on screen with a blank caption, or disappears with its value.
const char *const label_visible_but_empty = " ";
const char *const label_and_val_hidden = "";

py::object item(py::handle sequence, long index) {
    return sequence[py::int_(index)];
}

void update_bucket_labels(py::handle self, py::handle arr_label_and_value) {
    self.attr("_MiniHist__update_bucket_labels")(arr_label_and_value);
}

void set_strip_maximum_width(py::handle self, py::handle width) {
    self.attr("setMaximumSize")(width, app_def("M_HIST_MIN_MAX_HEIGHT"));
}

// Without the quartiles beside it the chart gets less room, so the strip shrinks with it.
py::object narrow_strip_width() {
    return global("int")(app_def("M_HIST_WITH_LABELS_MAX_WIDTH") / py::float_(1.25));
}

// Min, the quartiles and Max in order, with Avg placed after every value it is not below.
py::list five_numbers_with_avg(py::object min_val, py::object p25_val, py::object p50_val,
                               py::object p75_val, py::object max_val, py::object avg_val) {
    py::list arr =
        list_of(list_of("Min", min_val), list_of("25%", p25_val), list_of("50%", p50_val),
                list_of("75%", p75_val), list_of("Max", max_val));
    py::list arr_avg = list_of("Avg", avg_val);
    int position = 4;
    if (compares(avg_val, Py_LT, p25_val))
        position = 1;
    else if (compares(avg_val, Py_LT, p50_val))
        position = 2;
    else if (compares(avg_val, Py_LT, p75_val))
        position = 3;
    arr.insert(position, arr_avg);
    return arr;
}

py::list row(const char *caption, py::object value) {
    return list_of(caption, value);
}

} // namespace

void update_column_stats(py::object self, py::object hist_values, py::object bin_edges,
                         py::object hist_val_total_count, py::object min_val, py::object p25_val,
                         py::object p50_val, py::object p75_val, py::object max_val,
                         py::object avg_val, py::object is_boolean_field) {
    self.attr("mini_hist_chart_view").attr("set_animations_on")(true);

    // All values at both ends, or all in the middle bucket: show only the buckets that count.
    py::object first = item(hist_values, 0);
    py::object last = item(hist_values, -1);
    if (compares(first + last, Py_EQ, hist_val_total_count)) {
        hist_values = list_of(first, last);
        bin_edges = list_of(item(bin_edges, 0), item(bin_edges, 1), item(bin_edges, -1));
    } else if (py::len(hist_values) >= 6 &&
               compares(item(hist_values, 5), Py_EQ, hist_val_total_count)) {
        hist_values = list_of(item(hist_values, 5));
        bin_edges = list_of(item(bin_edges, 5), item(bin_edges, 6));
    }

    self.attr("mini_hist_chart_view")
        .attr("update_chart")(hist_values, bin_edges, hist_val_total_count,
                              py::arg("view_mode") = view_mode("COLUMN_STAT"));

    const size_t buckets = py::len(hist_values);
    py::str empty("");
    py::list arr_label_and_value;
    if (buckets >= 3) {
        arr_label_and_value =
            five_numbers_with_avg(min_val, p25_val, p50_val, p75_val, max_val, avg_val);
    } else if (buckets == 2) {
        py::object large_value = py::str("True");
        py::object small_value = py::str("False");
        if (!truth(is_boolean_field)) {
            large_value = item(bin_edges, 2);
            small_value = item(bin_edges, 0);
        }
        arr_label_and_value =
            list_of(row(label_visible_but_empty, large_value), row(label_and_val_hidden, empty),
                    row(label_visible_but_empty, small_value), row(label_visible_but_empty, empty),
                    row("Avg", avg_val), row(label_visible_but_empty, empty));
    } else {
        py::object single_value = item(bin_edges, 0);
        if (truth(is_boolean_field))
            single_value =
                py::str(compares(single_value, Py_GT, py::float_(0.5)) ? "True" : "False");
        arr_label_and_value =
            list_of(row(label_visible_but_empty, empty), row(label_visible_but_empty, single_value),
                    row(label_visible_but_empty, empty), row(label_and_val_hidden, empty),
                    row(label_and_val_hidden, empty), row(label_and_val_hidden, empty));
    }
    update_bucket_labels(self, arr_label_and_value);

    if (buckets >= 3)
        set_strip_maximum_width(self, app_def("M_HIST_WITH_LABELS_MAX_WIDTH"));
    else
        set_strip_maximum_width(self, narrow_strip_width());
    self.attr("visible_state") = true;
}

void update_ws_sampling_stats(py::object self, py::object total_rows, py::object worker_rows,
                              py::object app_rows, py::object total_rows_is_estimated) {
    if (total_rows_is_estimated.is_none())
        total_rows_is_estimated = py::bool_(true);

    py::list arr_label_and_value;
    for (int slot = 0; slot < 6; ++slot)
        arr_label_and_value.append(row(label_and_val_hidden, py::str("")));
    py::object total_rows_text = py::none();
    py::object worker_rows_text = py::none();
    py::object app_rows_text = py::none();
    py::list hist_values;

    py::object number_format_util = global("NumberFormatUtil");
    auto rows_to_text = [&](py::handle rows, py::handle estimated) {
        return number_format_util.attr("rows_to_text")(rows, py::arg("estimated") = estimated,
                                                       py::arg("long_text") = false);
    };
    // The viewed rows sit at the top of the left column and are appended last, so that they
    // are also the top bar.
    if (!total_rows.is_none()) {
        total_rows_text = rows_to_text(total_rows, total_rows_is_estimated);
        arr_label_and_value[2] = row("Total rows", total_rows_text);
        hist_values.append(total_rows);
    }
    if (!worker_rows.is_none()) {
        worker_rows_text = rows_to_text(worker_rows, py::bool_(false));
        arr_label_and_value[1] = row("At worker", worker_rows_text);
        hist_values.append(worker_rows);
    }
    if (!app_rows.is_none()) {
        app_rows_text = rows_to_text(app_rows, py::bool_(false));
        arr_label_and_value[0] = row("Viewing", app_rows_text);
        hist_values.append(app_rows);
    }
    update_bucket_labels(self, arr_label_and_value);

    py::list lines;
    if (truth(app_rows_text))
        lines.append(py::str("Viewing ") + app_rows_text + py::str(" rows"));
    if (truth(worker_rows_text))
        lines.append(py::str("Backend worker has ") + worker_rows_text + py::str(" rows"));
    if (truth(total_rows_text))
        lines.append(py::str("Total estimated rows are ") + total_rows_text);
    py::object desc_text = py::str("\n").attr("join")(lines);

    self.attr("mini_hist_chart_view")
        .attr("update_chart")(py::arg("hist_values") = hist_values,
                              py::arg("bin_edges") = list_of(-1),
                              py::arg("hist_val_total_count") = -1,
                              py::arg("view_mode") = view_mode("WS_SAMPLING_STAT"),
                              py::arg("default_description") = desc_text);
    set_strip_maximum_width(self, narrow_strip_width());
    self.attr("visible_state") = true;
}

} // namespace shared_ui

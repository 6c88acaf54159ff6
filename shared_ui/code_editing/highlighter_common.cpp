#include "code_editing/highlighter_common.hpp"

#include "frame/module_globals.hpp"

namespace shared_ui {

const char *const format_text_doc = "Return a QTextCharFormat with the given attributes.\n        ";
const char *const highlight_block_doc =
    "Apply syntax highlighting to the given block of text.\n        ";

const char *const double_quoted_pattern = "\"[^\"\\\\]*(\\\\.[^\"\\\\]*)*\"";
const char *const single_quoted_pattern = "'[^'\\\\]*(\\\\.[^'\\\\]*)*'";
const char *const integer_pattern = "\\b[+-]?[0-9]+[lL]?\\b";
const char *const hex_pattern = "\\b[+-]?0[xX][0-9A-Fa-f]+[lL]?\\b";
const char *const float_pattern = "\\b[+-]?[0-9]+(?:\\.[0-9]+)?(?:[eE][+-]?[0-9]+)?\\b";

namespace {

bool contains(py::handle container, const char *item) {
    int result = PySequence_Contains(container.ptr(), py::str(item).ptr());
    if (result < 0)
        throw py::error_already_set();
    return result != 0;
}

} // namespace

py::object format_text(py::object color, py::object style) {
    py::object qcolor = global("QColor")();
    qcolor.attr("setNamedColor")(color);
    py::object format = global("QTextCharFormat")();
    format.attr("setForeground")(qcolor);
    if (contains(style, "bold"))
        format.attr("setFontWeight")(global("QFont").attr("Weight").attr("Bold"));
    if (contains(style, "italic"))
        format.attr("setFontItalic")(true);
    return format;
}

py::dict choose_palette(py::handle self, const StyleRow *rows, size_t count) {
    const bool dark = truth(global("app_state_glbl").attr("is_dark_mode"));
    py::object make = self.attr("format_text");
    py::dict styles;
    for (const StyleRow *row = rows; row != rows + count; ++row) {
        const char *color = dark ? row->dark : row->light;
        const char *style = dark ? row->dark_style : row->light_style;
        styles[row->name] = style == nullptr ? make(color) : make(color, style);
    }
    return styles;
}

void add_rules(py::list &rules, py::handle pattern, py::handle patterns, int nth,
               py::handle format) {
    for (py::handle entry : patterns) {
        PyObject *filled = PyNumber_Remainder(pattern.ptr(), entry.ptr());
        if (filled == nullptr)
            throw py::error_already_set();
        rules.append(py::make_tuple(py::reinterpret_steal<py::object>(filled), nth, format));
    }
}

void add_rules(py::list &rules, const FixedRule *fixed, size_t count, const py::dict &styles) {
    for (const FixedRule *rule = fixed; rule != fixed + count; ++rule)
        rules.append(py::make_tuple(rule->pattern, rule->nth, styles[rule->style]));
}

py::list pattern_list(std::initializer_list<const char *> patterns) {
    py::list list;
    for (const char *pattern : patterns)
        list.append(pattern);
    return list;
}

py::list compile_rules(const py::list &raw_rules) {
    py::object regex = global("QRegularExpression");
    py::list compiled;
    for (py::handle rule : raw_rules) {
        auto [pattern, nth, format] = unpack3(rule);
        compiled.append(py::make_tuple(regex(pattern), nth, format));
    }
    return compiled;
}

std::tuple<py::object, py::object, py::object> unpack3(py::handle item) {
    py::tuple values(py::reinterpret_borrow<py::object>(item));
    if (values.size() != 3) {
        if (values.size() < 3)
            PyErr_Format(PyExc_ValueError, "not enough values to unpack (expected 3, got %zd)",
                         static_cast<Py_ssize_t>(values.size()));
        else
            PyErr_SetString(PyExc_ValueError, "too many values to unpack (expected 3)");
        throw py::error_already_set();
    }
    return {values[0], values[1], values[2]};
}

long qt_length(py::handle text) {
    if (!PyUnicode_Check(text.ptr()))
        return static_cast<long>(py::len(text));
    const Py_ssize_t length = PyUnicode_GET_LENGTH(text.ptr());
    Py_ssize_t units = length;
    if (PyUnicode_MAX_CHAR_VALUE(text.ptr()) > 0xFFFF) {
        const int kind = PyUnicode_KIND(text.ptr());
        const void *data = PyUnicode_DATA(text.ptr());
        for (Py_ssize_t i = 0; i < length; ++i)
            if (PyUnicode_READ(kind, data, i) > 0xFFFF)
                ++units;
    }
    return static_cast<long>(units);
}

bool single_line_pass(py::handle self, py::handle text) {
    if (!truth(text))
        return false;
    py::object set_format = self.attr("setFormat");
    for (py::handle rule : self.attr("rules")) {
        auto [expression, nth, rule_format] = unpack3(rule);
        py::object match_in = expression.attr("match");
        py::object offset = py::int_(0);
        py::object match = match_in(text, py::arg("offset") = offset);
        while (truth(match.attr("hasMatch")())) {
            py::object index = match.attr("capturedStart")(nth);
            py::object length = match.attr("capturedLength")(nth);
            set_format(index, length, rule_format);
            py::object next = index + length;
            // A match that does not move the search on (an empty match, for instance from a
            // host-supplied function name such as "a|") would find itself again forever; the
            // same search from the same offset can only repeat, so stop this rule here.
            if (next.equal(offset))
                break;
            offset = next;
            match = match_in(text, py::arg("offset") = offset);
        }
    }
    self.attr("setCurrentBlockState")(0);
    return true;
}

} // namespace shared_ui

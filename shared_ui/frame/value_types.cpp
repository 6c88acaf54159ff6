// MiniHistViewMode, SaveMode and TabNameHelper.
#include "frame/class_builder.hpp"
#include "frame/frame.hpp"
#include "frame/module_globals.hpp"

namespace shared_ui {
namespace {

py::object constant(long value) {
    return py::int_(value);
}

// Integer equality decides, so a member, its integer value, True/False and equal floats all
// find their member; anything else (a text "1" included) finds none.
py::object save_mode_from_value(py::object cls, py::object value) {
    for (py::handle member : cls)
        if (member.equal(value))
            return py::reinterpret_borrow<py::object>(member);
    // The message stays a Python string: a text form that UTF-8 cannot hold (a lone surrogate)
    // is still a valid message. An error raised by the value's own str() propagates instead.
    PyErr_SetObject(PyExc_ValueError, py::str("{} is not a valid save mode").format(value).ptr());
    throw py::error_already_set();
}

py::object shorten_node_name(py::object node_name) {
    if (node_name.attr("startswith")("Worker-").cast<bool>())
        return node_name.attr("replace")("Worker-", "W-", 1);
    return node_name;
}

} // namespace

py::object make_MiniHistViewMode() {
    return ClassBuilder("MiniHistViewMode", {global("IntEnum")})
        .attr("COLUMN_STAT", [] { return constant(0); })
        .attr("WS_SAMPLING_STAT", [] { return constant(1); })
        .build();
}

py::object make_SaveMode() {
    return ClassBuilder("SaveMode", {global("IntEnum")})
        .attr("SAVE", [] { return constant(0); })
        .attr("SAVE_AS", [] { return constant(1); })
        .attr("EXPORT_DATA", [] { return constant(2); })
        .attr("APPLY_STEPS", [] { return constant(3); })
        .class_method("from_value", &save_mode_from_value, py::arg("cls"), py::arg("value"))
        .build();
}

py::object make_TabNameHelper() {
    return ClassBuilder("TabNameHelper")
        .static_method("shorten_node_name", &shorten_node_name, py::arg("node_name"))
        .build();
}

} // namespace shared_ui

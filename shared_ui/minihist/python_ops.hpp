// Small pieces of Python semantics the strip and its chart need, spelled once.
#pragma once

#include <pybind11/pybind11.h>

#include "frame/module_globals.hpp"

namespace shared_ui {
namespace py = pybind11;

// The truth value an `if` would take of `value`.
inline bool truth(py::handle value) {
    int result = PyObject_IsTrue(value.ptr());
    if (result < 0)
        throw py::error_already_set();
    return result == 1;
}

// `left <op> right` as an expression: unlike PyObject_RichCompareBool there is no identity
// shortcut, so a NaN is not equal to itself and numpy-style results keep their own truth.
inline bool compares(py::handle left, int op, py::handle right) {
    PyObject *result = PyObject_RichCompare(left.ptr(), right.ptr(), op);
    if (result == nullptr)
        throw py::error_already_set();
    return truth(py::reinterpret_steal<py::object>(result));
}

// The host's size constant `name`, read anew each time so a host that changes AppDef is seen.
inline py::object app_def(const char *name) {
    return global("AppDef").attr(name);
}

inline py::object view_mode(const char *member) {
    return global("MiniHistViewMode").attr(member);
}

// A list literal built from its items, as `[a, b, ...]` would.
template <typename... Items> py::list list_of(Items &&...items) {
    py::list result;
    (result.append(std::forward<Items>(items)), ...);
    return result;
}

} // namespace shared_ui

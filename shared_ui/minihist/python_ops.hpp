// Small pieces the strip and its chart share, spelled once.
#pragma once

#include <pybind11/pybind11.h>

#include "frame/module_globals.hpp"

namespace shared_ui {
namespace py = pybind11;

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

// Small Python-semantics helpers shared by the feedback classes.
#pragma once

#include <pybind11/pybind11.h>

#include <utility>

namespace shared_ui {
namespace py = pybind11;

// Python's truth test (`if value:`), including __bool__ and __len__ and their errors.
inline bool truthy(py::handle value) {
    return static_cast<bool>(py::bool_(py::reinterpret_borrow<py::object>(value)));
}

// A try/except block, for handlers that do more than log one message (frame's guarded): the
// status bar falls back to the bar before it logs, a timer failure clears without logging, and
// the font helper asks for its logger only once something has failed.
//
// Runs `work`; when it raises a Python error or a C++ exception that pybind11 would translate,
// calls `recover(error)` with the Python error. An exception raised by `recover` propagates,
// as one raised inside an `except` block would.
template <typename Work, typename Recover> void recovering(Work &&work, Recover &&recover) {
    try {
        std::forward<Work>(work)();
        return;
    } catch (py::error_already_set &error) {
        std::forward<Recover>(recover)(error);
    } catch (py::builtin_exception &error) {
        error.set_error();
        py::error_already_set fetched;
        std::forward<Recover>(recover)(fetched);
    }
}

} // namespace shared_ui

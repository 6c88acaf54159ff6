// Access to the module's own namespace and to the objects every subsystem needs at call time.
#pragma once

#include <pybind11/pybind11.h>

#include <utility>

namespace shared_ui {
namespace py = pybind11;

// The module object. It is created once per process and never destroyed (see module.cpp).
py::handle module_object();
void set_module_object(py::handle module);

// Looks a name up as a function of the module would at the moment it runs: the module's
// globals first, then builtins; NameError when neither has it. Host names (AppDef, datetime,
// QTimer, ...) are read this way on every use, so a host that rebinds one is honoured.
py::object global(const char *name);

// The classes of the module as they were made, independent of later rebinding of the globals
// (what a Python method reaches through its __class__ cell).
void register_class(const char *name, py::handle cls);
void forget_classes();
py::handle own_class(const char *name);

// super(own_class(class_name), self), as a method of that class would write super().
py::object super_of(const char *class_name, py::handle self);

// Logs `message` at `level` ("debug", "warning", "error", ...) through `logger` with
// exc_info=True while `error` is the exception being handled, so that the host's logger sees
// the traceback exactly as it would inside a Python `except` block.
void log_exception(py::handle logger, const char *level, py::handle message,
                   py::error_already_set &error);

// The truth value an `if` would take of `value` (__bool__, __len__ and their errors).
inline bool truth(py::handle value) {
    const int result = PyObject_IsTrue(value.ptr());
    if (result < 0)
        throw py::error_already_set();
    return result == 1;
}

// `left <op> right` as an expression (op is Py_LT, Py_EQ, ...): unlike PyObject_RichCompareBool
// there is no identity shortcut, so a NaN is not equal to itself and numpy-style results keep
// their own truth.
inline bool compares(py::handle left, int op, py::handle right) {
    PyObject *result = PyObject_RichCompare(left.ptr(), right.ptr(), op);
    if (result == nullptr)
        throw py::error_already_set();
    return truth(py::reinterpret_steal<py::object>(result));
}

// A try/except block: runs `work`; when it raises a Python error or a C++ exception that
// pybind11 would translate, calls `recover(error)` with the Python error. An exception raised by
// `recover` propagates, as one raised inside an `except` block would.
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

// Runs `work`; any error it raises is logged as log_exception does and swallowed. `message` is
// produced only when something failed.
template <typename Work, typename Message>
void guarded(py::handle logger, const char *level, Message &&message, Work &&work) {
    recovering(std::forward<Work>(work), [&](py::error_already_set &error) {
        log_exception(logger, level, py::object(std::forward<Message>(message)()), error);
    });
}

// The address of the C++ object behind a PyQt6 wrapper, seen as the PyQt6 class `as_type`
// (sip adjusts the pointer for the base). RuntimeError when the C++ object has been deleted.
void *sip_address(py::handle wrapper, py::handle as_type);

template <typename QtClass> QtClass *qt_pointer(py::handle wrapper, py::handle as_type) {
    return static_cast<QtClass *>(sip_address(wrapper, as_type));
}

} // namespace shared_ui

namespace shared_ui {
// get_logger(Log.APP), the logger every logging class of the module holds.
inline py::object app_logger() {
    return global("get_logger")(global("Log").attr("APP"));
}
} // namespace shared_ui

#include "frame/module_globals.hpp"

#include <map>
#include <string>

namespace shared_ui {
namespace {

PyObject *the_module = nullptr;

// Never destroyed: its Python references must not be released after the interpreter has
// finalised, which is when namespace-scope destructors would run.
std::map<std::string, PyObject *> &classes() {
    static auto *map = new std::map<std::string, PyObject *>();
    return *map;
}

} // namespace

py::handle module_object() {
    return the_module;
}

void set_module_object(py::handle module) {
    Py_XINCREF(module.ptr());
    Py_XDECREF(the_module);
    the_module = module.ptr();
}

py::object global(const char *name) {
    if (the_module != nullptr) {
        PyObject *dict = PyModule_GetDict(the_module); // borrowed
        if (PyObject *value = PyDict_GetItemString(dict, name))
            return py::reinterpret_borrow<py::object>(value);
    }
    PyObject *builtins = PyEval_GetBuiltins(); // borrowed
    if (builtins != nullptr) {
        if (PyObject *value = PyDict_GetItemString(builtins, name))
            return py::reinterpret_borrow<py::object>(value);
    }
    PyErr_Format(PyExc_NameError, "name '%s' is not defined", name);
    throw py::error_already_set();
}

void register_class(const char *name, py::handle cls) {
    PyObject *&slot = classes()[name];
    Py_XINCREF(cls.ptr());
    Py_XDECREF(slot);
    slot = cls.ptr();
}

void forget_classes() {
    for (auto &entry : classes())
        Py_XDECREF(entry.second);
    classes().clear();
}

py::handle own_class(const char *name) {
    auto found = classes().find(name);
    if (found == classes().end()) {
        PyErr_Format(PyExc_RuntimeError, "class '%s' of shared_ui is not defined yet", name);
        throw py::error_already_set();
    }
    return found->second;
}

py::object super_of(const char *class_name, py::handle self) {
    return py::module_::import("builtins").attr("super")(own_class(class_name), self);
}

void log_exception(py::handle logger, const char *level, py::handle message,
                   py::error_already_set &error) {
    // sys.exc_info(), which logging consults for exc_info=True, reads the handled exception.
    PyObject *previous = PyErr_GetHandledException();
    PyErr_SetHandledException(error.value().ptr());
    try {
        logger.attr(level)(message, py::arg("exc_info") = true);
    } catch (...) {
        PyErr_SetHandledException(previous);
        Py_XDECREF(previous);
        throw;
    }
    PyErr_SetHandledException(previous);
    Py_XDECREF(previous);
}

void *sip_address(py::handle wrapper, py::handle as_type) {
    py::object sip = global("sip");
    py::object cast = sip.attr("cast")(wrapper, as_type);
    return reinterpret_cast<void *>(sip.attr("unwrapinstance")(cast).cast<std::uintptr_t>());
}

} // namespace shared_ui

#include "frame/class_builder.hpp"

#include "frame/module_globals.hpp"

#include <cstdlib>
#include <cstring>

namespace shared_ui {

ClassBuilder::ClassBuilder(const char *name, std::initializer_list<py::handle> bases)
    : name_(name), doc_(py::none()) {
    options_.disable_function_signatures();
    py::list base_list;
    for (py::handle base : bases)
        base_list.append(base);
    bases_ = py::tuple(base_list);
}

ClassBuilder &ClassBuilder::doc(const char *text) {
    doc_ = py::str(text);
    return *this;
}

ClassBuilder &ClassBuilder::attr(const char *name, std::function<py::object()> value) {
    entries_.push_back({name, std::move(value)});
    return *this;
}

ClassBuilder &ClassBuilder::add(std::string key, py::object value) {
    entries_.push_back({std::move(key), [value] { return value; }});
    return *this;
}

namespace {

// A copy of `text` that pybind11 may free: it allocates the strings of its function records
// with malloc and frees them the same way.
char *malloc_copy(const std::string &text) {
    char *copy = static_cast<char *>(std::malloc(text.size() + 1));
    if (copy == nullptr)
        throw std::bad_alloc();
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// pybind11's record of a function it built: its name and its parameters. pybind11 publishes no
// way to it, and the object that carries it changed with pybind11 3 (a capsule before, a type of
// its own since); the record's fields read here are the same from 2.10 on. The only use of
// pybind11's internals in the module: the surface tests, run against each pybind11 the stacks
// build with, read every method's name and signature back.
py::detail::function_record *function_record(const py::cpp_function &function) {
    PyObject *carrier = PyCFunction_GET_SELF(function.ptr());
#if PYBIND11_VERSION_MAJOR >= 3
    auto *record = py::detail::function_record_ptr_from_PyObject(carrier);
#else
    auto *record = static_cast<py::detail::function_record *>(
        PyCapsule_GetPointer(carrier, PyCapsule_GetName(carrier)));
#endif
    if (record == nullptr) {
        if (!PyErr_Occurred())
            PyErr_SetString(PyExc_TypeError, "not a function that pybind11 built");
        throw py::error_already_set();
    }
    return record;
}

} // namespace

py::object ClassBuilder::finish(py::cpp_function function, const char *name) {
    auto *cfunction = reinterpret_cast<PyCFunctionObject *>(function.ptr());
    auto *record = function_record(function);
    // pybind11 takes a function it builds under the name __init__ (or __setstate__) for the
    // constructor of one of its own classes: the call would then reject every `self` that is not
    // a pybind11 instance, and in builds without NDEBUG the build itself reads the class the
    // constructor belongs to, which ours do not have (it crashed at import). Named now, the
    // function stays an ordinary one, whatever its name.
    char *old_name = record->name;
    record->name = malloc_copy(name);
    cfunction->m_ml->ml_name = record->name;
    std::free(old_name);

    std::string text = std::string(name) + "(";
    const char *separator = "";
    for (const auto &argument : record->args) {
        text += separator;
        text += argument.name;
        if (argument.value) {
            text += '=';
            text += py::repr(argument.value).cast<std::string>();
        }
        separator = ", ";
    }
    if (record->has_args) {
        text += separator;
        text += "*args";
        separator = ", ";
    }
    if (record->has_kwargs) {
        text += separator;
        text += "**kwargs";
    }
    text += ")\n--\n\n";
    char *old_doc = const_cast<char *>(cfunction->m_ml->ml_doc);
    if (old_doc != nullptr)
        text += old_doc;
    cfunction->m_ml->ml_doc = malloc_copy(text);
    std::free(old_doc);
    return function;
}

py::object ClassBuilder::instance_method(py::object function) {
    // A builtin function is not a descriptor; instancemethod makes it bind `self` like a def.
    PyObject *method = PyInstanceMethod_New(function.ptr());
    if (method == nullptr)
        throw py::error_already_set();
    return py::reinterpret_steal<py::object>(method);
}

py::object ClassBuilder::wrap(const char *builtin, py::object function) {
    return py::module_::import("builtins").attr(builtin)(function);
}

std::string ClassBuilder::mangled(const char *name) const {
    // Python strips the class name's leading underscores before prefixing it.
    std::string cls = name_;
    cls.erase(0, cls.find_first_not_of('_'));
    return "_" + cls + name;
}

py::object ClassBuilder::build() {
    std::vector<Entry> entries = std::move(entries_);
    entries_.clear();
    const std::string name = name_;
    py::object doc = doc_;
    py::cpp_function body([&entries, &name, &doc](py::object ns) {
        // What the compiler puts first in every class body.
        ns["__module__"] = py::str("shared_ui");
        ns["__qualname__"] = py::str(name);
        if (!doc.is_none())
            ns["__doc__"] = doc;
        for (Entry &entry : entries)
            ns[py::str(entry.key)] = entry.value();
    });
    py::object cls =
        py::module_::import("types").attr("new_class")(name_, bases_, py::none(), body);
    register_class(name_.c_str(), cls);
    return cls;
}

} // namespace shared_ui

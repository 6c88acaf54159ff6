#include "frame/class_builder.hpp"

#include "frame/module_globals.hpp"

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

py::object ClassBuilder::plain_function(py::cpp_function function) {
    // pybind11 takes a function named __init__ (or __setstate__) for the constructor of one of
    // its own classes and rejects every other `self`; ours initialise instances of plain Python
    // (or sip) classes like a def would.
    auto capsule = py::reinterpret_borrow<py::capsule>(PyCFunction_GET_SELF(function.ptr()));
    capsule.get_pointer<py::detail::function_record>()->is_constructor = false;
    return std::move(function);
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

// Builds the module's Python classes from C++ functions, the way a class statement would.
#pragma once

#include <pybind11/pybind11.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace shared_ui {
namespace py = pybind11;

// Collects a class body in order and makes the class with types.new_class, so that the right
// metaclass (sip's wrapper type, EnumType, the host's own) is chosen and its __prepare__ runs.
//
// Values given through attr() are computed while the body runs, in the order they were added,
// exactly as the statements of a class body would be. Every method is a pybind11 function
// whose parameters carry their Python names and defaults; name the first one "self" ("cls"
// for class methods) as Python would.
class ClassBuilder {
  public:
    ClassBuilder(const char *name, std::initializer_list<py::handle> bases = {});

    ClassBuilder &doc(const char *text);

    // A class attribute computed when the body runs (for example get_logger(Log.APP)).
    ClassBuilder &attr(const char *name, std::function<py::object()> value);

    template <typename Func, typename... Extra>
    ClassBuilder &method(const char *name, Func &&func, const Extra &...extra) {
        return add(name, instance_method(make(name, std::forward<Func>(func), extra...)));
    }

    // A method whose name starts with two underscores: stored as _Class__name, as Python does.
    template <typename Func, typename... Extra>
    ClassBuilder &private_method(const char *name, Func &&func, const Extra &...extra) {
        return add(mangled(name), instance_method(make(name, std::forward<Func>(func), extra...)));
    }

    template <typename Func, typename... Extra>
    ClassBuilder &static_method(const char *name, Func &&func, const Extra &...extra) {
        return add(name, wrap("staticmethod", make(name, std::forward<Func>(func), extra...)));
    }

    template <typename Func, typename... Extra>
    ClassBuilder &class_method(const char *name, Func &&func, const Extra &...extra) {
        return add(name, wrap("classmethod", make(name, std::forward<Func>(func), extra...)));
    }

    // A read-only property; the getter takes `self`.
    template <typename Func, typename... Extra>
    ClassBuilder &property(const char *name, Func &&getter, const Extra &...extra) {
        return add(name, wrap("property", make(name, std::forward<Func>(getter), extra...)));
    }

    // Runs the body and returns the new class. The builder is spent afterwards.
    py::object build();

    const std::string &name() const { return name_; }

  private:
    // pybind11 builds the function without a name; finish() gives it one (see there).
    template <typename Func, typename... Extra>
    py::object make(const char *name, Func &&func, const Extra &...extra) {
        return finish(py::cpp_function(std::forward<Func>(func), extra...), name);
    }
    // Makes a pybind11 function behave as a def would in a class body: it is named `name` only
    // now, after pybind11 has built it, so that a method named __init__ initialises instances of
    // our (sip or plain Python) classes instead of being taken for a pybind11 constructor; and
    // "name(self, a, b=1, *args, **kwargs)" goes in front of the doc string in the form CPython
    // reads as __text_signature__, so inspect.signature() and help() show the real parameters
    // while __doc__ stays exactly the text given.
    static py::object finish(py::cpp_function function, const char *name);
    static py::object instance_method(py::object function);
    static py::object wrap(const char *builtin, py::object function);
    std::string mangled(const char *name) const;
    ClassBuilder &add(std::string key, py::object value);

    struct Entry {
        std::string key;
        std::function<py::object()> value;
    };

    // Keeps pybind11 from prepending generated signature lines, so __doc__ is our text only.
    py::options options_;
    std::string name_;
    py::tuple bases_;
    py::object doc_;
    std::vector<Entry> entries_;
};

} // namespace shared_ui

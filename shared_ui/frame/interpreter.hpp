// What the module reads of Python objects below the Python surface, in the one place where the
// interpreter versions it is built for differ in how that is read. Everything here goes through
// CPython's public API where one exists; each version-specific branch says why it is there.
#pragma once

#include <Python.h>

#include <cstdint>

namespace shared_ui {

// The dictionary of `object`'s own attributes (borrowed: the object keeps it), made if the
// object has none yet; null with the error set when objects of its type have no dictionary.
PyObject *instance_dict(PyObject *object);

// What `name` is in the first class along `type`'s method resolution order whose dictionary has
// it, as the attribute lookup of an instance finds it before it calls a descriptor: borrowed,
// null when no class has it (with an error set only when a lookup failed).
PyObject *class_attribute(PyTypeObject *type, PyObject *name);

// Tells cheaply whether anything that an attribute lookup on an instance depends on may have
// changed: an attribute of its type or of one of the type's bases set or deleted, a base
// replaced, an item of the instance dictionary added, changed or removed, or the instance's type
// or dictionary swapped for another. A stamp taken of a type and a dictionary stays current until
// the first such change; a stamp that the interpreter cannot back is never current, which only
// costs the caller its shortcut.
class ChangeStamp {
  public:
    ChangeStamp() = default;
    static ChangeStamp take(PyTypeObject *type, PyObject *dict);
    bool current(PyTypeObject *type, PyObject *dict) const;

  private:
    PyTypeObject *type_ = nullptr;
    PyObject *dict_ = nullptr;
#if PY_VERSION_HEX < 0x030C0000
    unsigned int type_tag_ = 0;
    std::uint64_t dict_tag_ = 0;
#else
    std::uint64_t changes_seen_ = 0;
#endif
};

} // namespace shared_ui

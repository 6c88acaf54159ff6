#include "frame/interpreter.hpp"

namespace shared_ui {

PyObject *instance_dict(PyObject *object) {
    PyObject *dict = PyObject_GenericGetDict(object, nullptr);
    if (dict == nullptr) {
        PyErr_Clear();
        return nullptr;
    }
    Py_DECREF(dict);
    return dict;
}

PyObject *class_attribute(PyTypeObject *type, PyObject *name) {
    PyObject *mro = type->tp_mro;
    if (mro == nullptr)
        return nullptr;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(mro); ++i) {
        auto *base = reinterpret_cast<PyTypeObject *>(PyTuple_GET_ITEM(mro, i));
#if PY_VERSION_HEX >= 0x030C0000
        // From 3.12 on, the dictionary of a built-in type (object, at the end of every MRO) is
        // kept by the interpreter, and tp_dict is null.
        PyObject *dict = PyType_GetDict(base);
        PyObject *found = PyDict_GetItemWithError(dict, name);
        Py_DECREF(dict); // the type keeps it, and with it what was found
#else
        PyObject *found = PyDict_GetItemWithError(base->tp_dict, name);
#endif
        if (found != nullptr || PyErr_Occurred())
            return found;
    }
    return nullptr;
}

#if PY_VERSION_HEX < 0x030C0000

// 3.11 has no watchers, but version tags that serve the same end: a type gets a new tag whenever
// the dictionary of the type or of one of its bases changes (its attribute cache relies on that),
// and a dictionary on every change of its items, from a counter shared by all dictionaries. The
// dictionary's tag is a field of the object (deprecated from 3.12 on); while both tags are the
// ones seen, every lookup resolves as it did then.
ChangeStamp ChangeStamp::take(PyTypeObject *type, PyObject *dict) {
    ChangeStamp stamp;
    // A type without a valid tag is one changed since its last lookup through the cache: the next
    // such lookup (any attribute read on an instance) gives it one again.
    if (!PyType_HasFeature(type, Py_TPFLAGS_VALID_VERSION_TAG))
        return stamp;
    stamp.type_ = type;
    stamp.dict_ = dict;
    stamp.type_tag_ = type->tp_version_tag;
    stamp.dict_tag_ = reinterpret_cast<PyDictObject *>(dict)->ma_version_tag;
    return stamp;
}

bool ChangeStamp::current(PyTypeObject *type, PyObject *dict) const {
    return type_ != nullptr && type == type_ && dict == dict_ &&
           PyType_HasFeature(type, Py_TPFLAGS_VALID_VERSION_TAG) &&
           type->tp_version_tag == type_tag_ &&
           reinterpret_cast<PyDictObject *>(dict)->ma_version_tag == dict_tag_;
}

#else

// From 3.12 on, watchers report each change as it happens: one counter counts every change to a
// watched type or dictionary, and a stamp is current while the count is the one it saw. The
// objects watched are the highlighters' classes and instance dictionaries, which change rarely
// once made, so counting them all together costs a stamp nothing it would keep otherwise.
namespace {

std::uint64_t changes = 0;
int type_watcher = -1;
int dict_watcher = -1;

int count_type_change(PyTypeObject *) {
    ++changes;
    return 0;
}

int count_dict_change(PyDict_WatchEvent, PyObject *, PyObject *, PyObject *) {
    ++changes;
    return 0;
}

// The interpreter has eight watchers of each kind for all its extensions: when none is left,
// stamps are never current.
bool watching() {
    static const bool registered = [] {
        type_watcher = PyType_AddWatcher(count_type_change);
        dict_watcher = PyDict_AddWatcher(count_dict_change);
        if (type_watcher >= 0 && dict_watcher >= 0)
            return true;
        PyErr_Clear();
        return false;
    }();
    return registered;
}

} // namespace

ChangeStamp ChangeStamp::take(PyTypeObject *type, PyObject *dict) {
    ChangeStamp stamp;
    if (!watching())
        return stamp;
    if (PyType_Watch(type_watcher, reinterpret_cast<PyObject *>(type)) < 0 ||
        PyDict_Watch(dict_watcher, dict) < 0) {
        PyErr_Clear();
        return stamp;
    }
    // A type reports its changes and those of its bases only while it holds a version tag, which
    // a change takes away. Given one now, it reports the next change; one that can be given no
    // tag any more (after a thousand changes) would change unreported.
    if (PyUnstable_Type_AssignVersionTag(type) == 0)
        return stamp;
    stamp.type_ = type;
    stamp.dict_ = dict;
    stamp.changes_seen_ = changes;
    return stamp;
}

bool ChangeStamp::current(PyTypeObject *type, PyObject *dict) const {
    return type_ != nullptr && type == type_ && dict == dict_ && changes == changes_seen_;
}

#endif

} // namespace shared_ui

// GetModelConfigThread and GetWorkflowServicesThread: fetch from the cluster console and the
// model host on the worker thread of the host's VLMThread.
//
// _run is called by the base from Python on its worker thread, so the GIL is held throughout;
// it only talks to the clients and writes its own attributes, never a widget. The loaders catch
// nothing: remote failures arrive as results with a false `success`, and every exception (from
// a client, a malformed reply or a failed assertion) goes to the base unchanged. pybind11 turns
// any C++ exception into a Python one at the call boundary, so none can reach Qt.
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"
#include "model_access/model_access.hpp"

#include <vector>

namespace shared_ui {
namespace {

// `a, b, ... = value`: every item is taken before any target is bound, and a non-iterable or a
// wrong number of items fails with the interpreter's own error and text.
std::vector<py::object> unpack(py::handle value, Py_ssize_t expected) {
    auto iterator = py::reinterpret_steal<py::object>(PyObject_GetIter(value.ptr()));
    if (!iterator) {
        if (PyErr_ExceptionMatches(PyExc_TypeError) && Py_TYPE(value.ptr())->tp_iter == nullptr &&
            !PySequence_Check(value.ptr())) {
            PyErr_Clear();
            PyErr_Format(PyExc_TypeError, "cannot unpack non-iterable %.200s object",
                         Py_TYPE(value.ptr())->tp_name);
        }
        throw py::error_already_set();
    }
    std::vector<py::object> items;
    for (Py_ssize_t got = 0; got < expected; ++got) {
        auto item = py::reinterpret_steal<py::object>(PyIter_Next(iterator.ptr()));
        if (!item) {
            if (!PyErr_Occurred())
                PyErr_Format(PyExc_ValueError,
                             "not enough values to unpack (expected %zd, got %zd)", expected, got);
            throw py::error_already_set();
        }
        items.push_back(std::move(item));
    }
    if (auto extra = py::reinterpret_steal<py::object>(PyIter_Next(iterator.ptr()))) {
        PyErr_Format(PyExc_ValueError, "too many values to unpack (expected %zd)", expected);
        throw py::error_already_set();
    }
    if (PyErr_Occurred())
        throw py::error_already_set();
    return items;
}

// `assert condition()`: the condition is not even evaluated under python -O, like the
// statement, and a failure is a bare AssertionError.
template <typename Condition> void python_assert(Condition &&condition) {
    PyObject *debug = PyDict_GetItemString(PyEval_GetBuiltins(), "__debug__"); // borrowed
    if (debug == Py_False)
        return;
    if (!condition()) {
        PyErr_SetNone(PyExc_AssertionError);
        throw py::error_already_set();
    }
}

bool is_instance(py::handle object, py::handle cls) {
    const int result = PyObject_IsInstance(object.ptr(), cls.ptr());
    if (result < 0)
        throw py::error_already_set();
    return result != 0;
}

// The base's own initialiser, with its three parameters by position.
void init_base(const char *class_name, py::handle self, py::handle parent, py::handle success_msg,
               py::handle error_msg) {
    super_of(class_name, self).attr("__init__")(parent, success_msg, error_msg);
}

void init_model_config_thread(py::object self, py::object parent, py::object region,
                              py::object model_meta, py::object version_info,
                              py::object success_msg, py::object error_msg) {
    init_base("GetModelConfigThread", self, parent, success_msg, error_msg);
    self.attr("region") = region;
    python_assert([&] { return is_instance(region, global("K8sRegion")); });
    self.attr("model_meta") = model_meta;
    self.attr("version_info") = version_info;
    self.attr("console_client") = global("K8sConsoleClient")(py::arg("region") = region);
    self.attr("model_client") = global("ModelHostClient")();
    self.attr("model_api_header_meta") = py::none();
    self.attr("model_conf") = py::none();
    self.attr("token") = py::none();
}

bool succeeded(py::handle self) {
    return py::bool_(self.attr("op_result").attr("success"));
}

void run_model_config_thread(py::object self) {
    py::object get_model_token = self.attr("console_client").attr("get_model_token");
    py::object model_id = self.attr("model_meta").attr("model_id");
    std::vector<py::object> reply = unpack(get_model_token(model_id, py::arg("upload") = false), 2);
    self.attr("token") = reply[0];
    self.attr("op_result") = reply[1];
    if (!succeeded(self))
        return;
    python_assert([&] { return !self.attr("token").is_none(); });

    py::object get_model_config = self.attr("model_client").attr("get_model_config");
    py::object host_url = self.attr("region").attr("k8s_config").attr("host_url");
    py::object token = self.attr("token");
    py::object prefix = self.attr("model_meta").attr("model_prefix").attr("prefix");
    py::object model_name = self.attr("model_meta").attr("name");
    py::object version_info = self.attr("version_info");
    reply = unpack(get_model_config(host_url, py::arg("token") = token, py::arg("prefix") = prefix,
                                    py::arg("model_name") = model_name,
                                    py::arg("version_info") = version_info),
                   3);
    self.attr("model_api_header_meta") = reply[0];
    self.attr("model_conf") = reply[1];
    self.attr("op_result") = reply[2];
    if (!succeeded(self))
        return;

    py::object debug = self.attr("logger").attr("debug");
    py::object model_conf = self.attr("model_conf");
    py::object name = model_conf.is_none() ? py::str("?") : model_conf.attr("model_name");
    debug(py::str("Model_conf name: {}").format(name));
}

void init_workflow_services_thread(py::object self, py::object parent, py::object region,
                                   py::object success_msg, py::object error_msg) {
    init_base("GetWorkflowServicesThread", self, parent, success_msg, error_msg);
    self.attr("region") = region;
    self.attr("client") = global("K8sConsoleClient")(region);
    self.attr("workflow_services") = py::none();
}

void run_workflow_services_thread(py::object self) {
    std::vector<py::object> reply = unpack(self.attr("client").attr("get_workflow_services")(), 2);
    self.attr("workflow_services") = reply[0];
    self.attr("op_result") = reply[1];
}

} // namespace

py::object make_GetModelConfigThread() {
    return ClassBuilder("GetModelConfigThread", {global("VLMThread")})
        .method("__init__", &init_model_config_thread, py::arg("self"), py::arg("parent"),
                py::arg("region"), py::arg("model_meta"), py::arg("version_info") = py::none(),
                py::arg("success_msg") = py::none(), py::arg("error_msg") = py::none())
        .method("_run", &run_model_config_thread, py::arg("self"))
        .build();
}

py::object make_GetWorkflowServicesThread() {
    return ClassBuilder("GetWorkflowServicesThread", {global("VLMThread")})
        .method("__init__", &init_workflow_services_thread, py::arg("self"), py::arg("parent"),
                py::arg("region"), py::arg("success_msg") = py::none(),
                py::arg("error_msg") = py::none())
        .method("_run", &run_workflow_services_thread, py::arg("self"))
        .build();
}

} // namespace shared_ui

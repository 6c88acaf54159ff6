// The module's entry point: its load rules, the names it imports and the classes it defines,
// in the order the host relies on.
#include <pybind11/pybind11.h>

#include "code_editing/code_editing.hpp"
#include "feedback/feedback.hpp"
#include "frame/frame.hpp"
#include "frame/load_rules.hpp"
#include "frame/module_globals.hpp"
#include "minihist/minihist.hpp"
#include "model_access/model_access.hpp"
#include "shared_ui_version.hpp"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

namespace shared_ui {
namespace {

// One row per import statement of the module body. An empty name list is `import module`.
struct ImportRow {
    const char *module;
    std::initializer_list<const char *> names;
};

const ImportRow import_table[] = {
    {"keyword", {}},
    {"datetime", {"datetime", "timedelta"}},
    {"enum", {"IntEnum"}},
    {"typing", {"List", "Union", "Optional"}},
    {"PyQt6", {"sip"}},
    {"PyQt6.QtCharts", {"QChartView", "QChart", "QBarSet", "QBarSeries", "QHorizontalBarSeries"}},
    {"PyQt6.QtCore", {"QMargins", "Qt", "QObject", "QRect", "QTimer", "QRegularExpression"}},
    {"PyQt6.QtGui",
     {"QColor", "QTextCharFormat", "QSyntaxHighlighter", "QBrush", "QFontMetrics", "QPalette",
      "QFont", "QPainter", "QMouseEvent", "QTextOption", "QTextCursor"}},
    {"PyQt6.QtWidgets",
     {"QPlainTextEdit", "QDialog", "QComboBox", "QStatusBar", "QListWidgetItem", "QGroupBox"}},
    {"PyQt6.QtWidgets",
     {"QSizePolicy", "QToolTip", "QWidget", "QHBoxLayout", "QGridLayout", "QLayout", "QLabel"}},
    {"velmora.app_conf", {"app_conf_glbl"}},
    {"velmora.app_state", {"app_state_glbl"}},
    {"velmora.icon_manager", {"icons_glbl"}},
    {"velmora.log_manager", {"get_logger", "Log"}},
    {"velmora.msg_box", {"MsgBox"}},
    {"velmora.notifier", {"notifier_glbl"}},
    {"velmora.vlm_thread", {"VLMThread"}},
    {"velmora.shared", {"AppDef"}},
    {"velmoracore.util", {"NumberFormatUtil"}},
    {"velmoracore.api_def", {"ModelConfig", "ModelAPIHeaderMeta"}},
    {"velmoracore.api_k8s", {"ModelMeta", "ModelPrefix", "ModelVersionInfo", "WorkflowService"}},
    {"velmoracore.cloud_def", {"K8sRegion"}},
    {"velmoracore.core_conf", {"core_conf_glbl"}},
    {"velmoracore.k8s_console_client", {"K8sConsoleClient"}},
    {"velmoracore.model_host_client", {"ModelHostClient", "ModelHostUrlResolver"}},
};

struct ClassRow {
    const char *name;
    py::object (*make)();
};

const ClassRow class_table[] = {
    {"MiniHistViewMode", make_MiniHistViewMode},
    {"MiniHistChartView", make_MiniHistChartView},
    {"MiniHist", make_MiniHist},
    {"VLMPythonHighlighter", make_VLMPythonHighlighter},
    {"VLMHighlighter", make_VLMHighlighter},
    {"VLMCodeTextEdit", make_VLMCodeTextEdit},
    {"VLMSQLHighlighter", make_VLMSQLHighlighter},
    {"VLMSQLTextEdit", make_VLMSQLTextEdit},
    {"WidgetAnimator", make_WidgetAnimator},
    {"VLMDialog", make_VLMDialog},
    {"FontHelper", make_FontHelper},
    {"PickAnyValueDialog", make_PickAnyValueDialog},
    {"VLMFloatingLabel", make_VLMFloatingLabel},
    {"VLMStatusBar", make_VLMStatusBar},
    {"GetModelConfigThread", make_GetModelConfigThread},
    {"GetWorkflowServicesThread", make_GetWorkflowServicesThread},
    {"ModelSelectionState", make_ModelSelectionState},
    {"SaveMode", make_SaveMode},
    {"TabNameHelper", make_TabNameHelper},
};

// The host's own top-level packages, as the import table names them.
const char *const host_packages[] = {"velmora", "velmoracore"};

// Whether `module` is `package` or lies inside it.
bool within(const char *module, const char *package) {
    const size_t length = std::strlen(package);
    return std::strncmp(module, package, length) == 0 &&
           (module[length] == '\0' || module[length] == '.');
}

// A missing host module or name keeps the import system's own error, which importers may match
// on; the note tells whoever reads the traceback what shared_ui was looking for and where it
// should have come from. PyQt6 gets a note too: its Charts module is packaged on its own, and pip
// cannot see whether it is installed.
void add_note_on_missing(const py::object &error, const ImportRow &row) {
    std::string names;
    for (const char *name : row.names)
        names += (names.empty() ? "" : ", ") + std::string(name);
    std::string note = "shared_ui needs " + (names.empty() ? "" : names + " from ") + row.module;
    for (const char *package : host_packages) {
        if (within(row.module, package)) {
            note += ", in the host application's package " + std::string(package) +
                    ". The host application's packages must be importable (on sys.path) before "
                    "`import shared_ui`.";
            error.attr("add_note")(note);
            return;
        }
    }
    if (within(row.module, "PyQt6")) {
        note += ". PyQt6 and its QtCharts module must be installed for this Python.";
        error.attr("add_note")(note);
    }
}

// `from module import a, b` (or `import module`) into the module's namespace.
void run_import(const ImportRow &row, py::dict globals) {
    py::list names;
    for (const char *name : row.names)
        names.append(name);
    PyObject *imported =
        PyImport_ImportModuleLevel(row.module, globals.ptr(), nullptr, names.ptr(), 0);
    if (imported == nullptr) {
        py::error_already_set error;
        // Only when the module itself (or its package) is what was not found: a host module
        // that fails on an import of its own has a problem of its own.
        if (error.matches(PyExc_ModuleNotFoundError)) {
            py::object missing = error.value().attr("name");
            if (py::isinstance<py::str>(missing) &&
                within(row.module, missing.cast<std::string>().c_str()))
                add_note_on_missing(error.value(), row);
        }
        throw error;
    }
    py::object source = py::reinterpret_steal<py::object>(imported);
    if (names.empty()) {
        globals[row.module] = source;
        return;
    }
    for (const char *name : row.names) {
        PyObject *value = PyObject_GetAttrString(source.ptr(), name);
        if (value == nullptr) {
            if (!PyErr_ExceptionMatches(PyExc_AttributeError))
                throw py::error_already_set();
            PyErr_Clear();
            PyErr_Format(PyExc_ImportError, "cannot import name %S", py::str(name).ptr());
            py::error_already_set error;
            add_note_on_missing(error.value(), ImportRow{row.module, {name}});
            throw error;
        }
        globals[name] = py::reinterpret_steal<py::object>(value);
    }
}

// PyQt6 hands the module its Qt objects as bare C++ pointers: on any Qt but the one PyQt6 runs on,
// or on one older than the module's, the first call could crash the host. Better to refuse here,
// before any class exists.
void check_qt() {
    QtFacts qt = this_process_qt();
    qt.pyqt = py::module_::import("PyQt6.QtCore").attr("qVersion")().cast<std::string>();
    if (const auto error = qt_mismatch_error(qt))
        throw py::import_error(*error);
}

void warn_on_other_python() {
    const auto running = parse_version(Py_GetVersion());
    if (!running)
        return;
    const auto warning =
        version_mismatch_warning({PY_MAJOR_VERSION, PY_MINOR_VERSION}, "shared_ui", *running);
    if (warning && PyErr_WarnEx(nullptr, warning->c_str(), 1) < 0)
        throw py::error_already_set();
}

void run_module_body(py::module_ module) {
    warn_on_other_python();
    py::dict globals = module.attr("__dict__");
    for (const ImportRow &row : import_table)
        run_import(row, globals);
    check_qt();
    for (const ClassRow &row : class_table)
        globals[row.name] = row.make();
}

// The module lives for the whole process: created once, never destroyed, and handed out again
// to any later import in the same interpreter.
PyObject *the_module = nullptr;
int64_t first_interpreter = -1;
bool body_done = false;

PyObject *create_module(PyObject *module_spec, PyModuleDef *) {
    const int64_t interpreter = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (interpreter == -1)
        return nullptr;
    if (first_interpreter == -1) {
        first_interpreter = interpreter;
    } else if (interpreter != first_interpreter) {
        PyErr_SetString(PyExc_ImportError, kInterpreterChangeMessage);
        return nullptr;
    }
    if (the_module != nullptr)
        return Py_NewRef(the_module);
    PyObject *name = PyObject_GetAttrString(module_spec, "name");
    if (name == nullptr)
        return nullptr;
    PyObject *module = PyModule_NewObject(name);
    Py_DECREF(name);
    if (module == nullptr)
        return nullptr;
    if (PyModule_AddStringConstant(module, "__version__", SHARED_UI_VERSION) < 0) {
        Py_DECREF(module);
        return nullptr;
    }
    the_module = Py_NewRef(module);
    return module;
}

int exec_module(PyObject *module) {
    if (body_done) {
        if (module == the_module)
            return 0;
        PyErr_SetString(PyExc_RuntimeError, "Module 'shared_ui' has already been imported. "
                                            "Re-initialisation is not supported.");
        return -1;
    }
    try {
        set_module_object(module);
        run_module_body(py::reinterpret_borrow<py::module_>(module));
        body_done = true;
        return 0;
    } catch (py::error_already_set &error) {
        error.restore();
    } catch (const std::exception &error) {
        PyErr_SetString(PyExc_ImportError, error.what());
    }
    // The failed module object is unusable; a later import starts afresh with a new one.
    forget_classes();
    set_module_object(nullptr);
    Py_CLEAR(the_module);
    return -1;
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_create, reinterpret_cast<void *>(create_module)},
    {Py_mod_exec, reinterpret_cast<void *>(exec_module)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "shared_ui",
    "Shared user-interface pieces of the data-analysis application: column-statistics strip, "
    "syntax highlighters and editors, status bar, widget animator, dialogs, background loaders "
    "and small value types.",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

} // namespace
} // namespace shared_ui

PyMODINIT_FUNC PyInit_shared_ui() {
    return PyModuleDef_Init(&shared_ui::module_def);
}

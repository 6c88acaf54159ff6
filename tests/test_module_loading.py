"""How the module loads: once per process, with its imports and classes in order.

Most cases need an interpreter of their own, because a module can be loaded only once per process.
"""
import importlib.metadata
from pathlib import Path

import pytest

import shared_ui
from conftest import THIN_HOST, run_python

CLASS_NAMES = [
    "MiniHistViewMode", "MiniHistChartView", "MiniHist", "VLMPythonHighlighter", "VLMHighlighter",
    "VLMCodeTextEdit", "VLMSQLHighlighter", "VLMSQLTextEdit", "WidgetAnimator", "VLMDialog",
    "FontHelper", "PickAnyValueDialog", "VLMFloatingLabel", "VLMStatusBar", "GetModelConfigThread",
    "GetWorkflowServicesThread", "ModelSelectionState", "SaveMode", "TabNameHelper",
]

IMPORTED = {
    "keyword": ["keyword"],
    "datetime": ["datetime", "timedelta"],
    "enum": ["IntEnum"],
    "typing": ["List", "Union", "Optional"],
    "PyQt6": ["sip"],
    "PyQt6.QtCharts": ["QChartView", "QChart", "QBarSet", "QBarSeries", "QHorizontalBarSeries"],
    "PyQt6.QtCore": ["QMargins", "Qt", "QObject", "QRect", "QTimer", "QRegularExpression"],
    "PyQt6.QtGui": ["QColor", "QTextCharFormat", "QSyntaxHighlighter", "QBrush", "QFontMetrics",
                    "QPalette", "QFont", "QPainter", "QMouseEvent", "QTextOption", "QTextCursor"],
    "PyQt6.QtWidgets": ["QPlainTextEdit", "QDialog", "QComboBox", "QStatusBar", "QListWidgetItem",
                        "QGroupBox", "QSizePolicy", "QToolTip", "QWidget", "QHBoxLayout",
                        "QGridLayout", "QLayout", "QLabel"],
    "velmora.app_conf": ["app_conf_glbl"],
    "velmora.app_state": ["app_state_glbl"],
    "velmora.icon_manager": ["icons_glbl"],
    "velmora.log_manager": ["get_logger", "Log"],
    "velmora.msg_box": ["MsgBox"],
    "velmora.notifier": ["notifier_glbl"],
    "velmora.vlm_thread": ["VLMThread"],
    "velmora.shared": ["AppDef"],
    "velmoracore.util": ["NumberFormatUtil"],
    "velmoracore.api_def": ["ModelConfig", "ModelAPIHeaderMeta"],
    "velmoracore.api_k8s": ["ModelMeta", "ModelPrefix", "ModelVersionInfo", "WorkflowService"],
    "velmoracore.cloud_def": ["K8sRegion"],
    "velmoracore.core_conf": ["core_conf_glbl"],
    "velmoracore.k8s_console_client": ["K8sConsoleClient"],
    "velmoracore.model_host_client": ["ModelHostClient", "ModelHostUrlResolver"],
}


def test_module_namespace_holds_the_imports_then_the_classes_in_order():
    import importlib

    names = [name for name in vars(shared_ui) if not name.startswith("__")]
    imported = [name for names_of in IMPORTED.values() for name in names_of]
    assert names == imported + CLASS_NAMES
    for source, bound in IMPORTED.items():
        module = importlib.import_module(source)
        for name in bound:
            expected = module if source == "keyword" else getattr(module, name)
            assert getattr(shared_ui, name) is expected, name


def test_repeated_imports_give_the_same_module_and_run_nothing_again():
    run_python("""
        import importlib, sys, warnings
        warnings.simplefilter("error")          # no version warning on the interpreter it is built for
        from velmora import log_manager
        import shared_ui
        first = shared_ui
        assert sys.modules["shared_ui"] is first
        # The class-level loggers were asked for once each, in class order.
        assert [shared_ui.MiniHistChartView.logger.number, shared_ui.WidgetAnimator.logger.number,
                shared_ui.VLMDialog.logger.number, shared_ui.VLMStatusBar.logger.number] == [1, 2, 3, 4]
        classes = {name: getattr(shared_ui, name) for name in dir(shared_ui)}
        import shared_ui as again
        assert again is first
        del sys.modules["shared_ui"]
        assert importlib.import_module("shared_ui") is first
        assert importlib.reload(first) is first
        assert len(log_manager.requests) == 4
        assert {name: getattr(first, name) for name in dir(first)} == classes
        """, host=THIN_HOST)


HOST_NOTE = ("The host application's packages must be importable (on sys.path) before "
             "`import shared_ui`.")


@pytest.mark.parametrize("sabotage, error, note", [
    # A missing host module or name keeps the import system's own error and gains a note.
    ("forget_host()", "ModuleNotFoundError: No module named 'velmora'",
     "shared_ui needs app_conf_glbl from velmora.app_conf, in the host application's package "
     "velmora. " + HOST_NOTE),
    ("sys.modules['velmoracore.cloud_def'] = None",
     "ModuleNotFoundError: import of velmoracore.cloud_def halted; None in sys.modules",
     "shared_ui needs K8sRegion from velmoracore.cloud_def, in the host application's package "
     "velmoracore. " + HOST_NOTE),
    ("import velmoracore.cloud_def as m; del m.K8sRegion", "ImportError: cannot import name K8sRegion",
     "shared_ui needs K8sRegion from velmoracore.cloud_def, in the host application's package "
     "velmoracore. " + HOST_NOTE),
    ("import velmora.log_manager as m; del m.Log", "ImportError: cannot import name Log",
     "shared_ui needs Log from velmora.log_manager, in the host application's package velmora. "
     + HOST_NOTE),
    # pip cannot tell whether PyQt6's Charts module is installed.
    ("sys.modules['PyQt6.QtCharts'] = None",
     "ModuleNotFoundError: import of PyQt6.QtCharts halted; None in sys.modules",
     "shared_ui needs QChartView, QChart, QBarSet, QBarSeries, QHorizontalBarSeries from "
     "PyQt6.QtCharts. PyQt6 and its QtCharts module must be installed for this Python."),
    # A host module that is there but fails on an import of its own is the host's problem.
    ("shadow_host_module('velmoracore', 'cloud_def', 'import not_installed_anywhere')",
     "ModuleNotFoundError: No module named 'not_installed_anywhere'", None),
], ids=["no-host", "host-module-halted", "host-name", "host-name-of-several", "qtcharts",
        "host-module-fails-itself"])
def test_a_missing_host_module_or_name_stops_the_import_before_any_class(sabotage, error, note):
    result = run_python(f"""
        import importlib, pathlib, sys, tempfile
        from velmora import log_manager

        def forget_host():
            sys.path[:] = [p for p in sys.path if not p.endswith("thin_host")]
            for name in [m for m in sys.modules if m.startswith("velmora")]:
                del sys.modules[name]

        def shadow_host_module(package, module, body):
            folder = tempfile.mkdtemp()
            pathlib.Path(folder, module + ".py").write_text(body)
            importlib.import_module(package).__path__.insert(0, folder)

        {sabotage}
        try:
            import shared_ui
        except BaseException as exc:
            print(type(exc).__name__ + ": " + str(exc), *getattr(exc, "__notes__", []), sep="\\n")
        assert "shared_ui" not in sys.modules
        assert log_manager.requests == []       # no class body ran
        """, host=THIN_HOST)
    assert result.stdout.strip().split("\n") == [error] + ([note] if note else [])


def test_a_second_qt_core_in_the_process_stops_the_import_before_any_class(tmp_path):
    # A second QtCore, as a Qt bundled with some other package would be, mapped beside the one
    # PyQt6 loaded.
    result = run_python(f"""
        import ctypes, shutil, sys
        import PyQt6.QtCore
        from velmora import log_manager

        core = next(line.split()[-1] for line in open("/proc/self/maps") if "/libQt6Core.so" in line)
        ctypes.CDLL(shutil.copy(core, {str(tmp_path)!r}))
        try:
            import shared_ui
        except ImportError as exc:
            print(exc)
        assert "shared_ui" not in sys.modules
        assert log_manager.requests == []
        """, host=THIN_HOST)
    message = result.stdout.strip()
    assert message.startswith("shared_ui must run on the QtCore library that PyQt6 loaded, but "
                              "this process has loaded 2: ")
    assert f"{tmp_path}/libQt6Core.so.6." in message


def test_an_error_in_a_class_body_propagates_unchanged_and_no_later_class_is_made():
    run_python("""
        import sys
        from velmora import log_manager

        class HostBroke(Exception):
            pass

        seen = {}
        calls = []

        def failing_get_logger(kind):
            calls.append(kind)
            if len(calls) == 3:                  # the third class logger: VLMDialog's
                seen["module"] = sys.modules["shared_ui"]
                raise HostBroke("no logger today")
            return object()

        log_manager.get_logger = failing_get_logger
        try:
            import shared_ui
        except HostBroke as exc:
            assert str(exc) == "no logger today"
        else:
            raise AssertionError("the import should have failed")
        assert "shared_ui" not in sys.modules
        partial = vars(seen["module"])
        assert "WidgetAnimator" in partial and "VLMDialog" not in partial
        assert "PickAnyValueDialog" not in partial and "TabNameHelper" not in partial

        # Once the host is sound again, a new import starts afresh with a new module object.
        log_manager.get_logger = lambda kind: ("logger", kind)
        import shared_ui
        assert shared_ui is not seen["module"]
        assert shared_ui.VLMDialog.logger == ("logger", "app")
        assert shared_ui.TabNameHelper.shorten_node_name("Worker-1") == "W-1"
        """, host=THIN_HOST)


def test_the_module_can_be_loaded_into_one_interpreter_only():
    result = run_python("""
        import sys
        import _xxsubinterpreters as interpreters
        import shared_ui
        interp = interpreters.create()
        try:
            interpreters.run_string(interp, f"import sys; sys.path[:0] = {sys.path!r}\\nimport shared_ui")
        except interpreters.RunFailedError as exc:
            print(exc)
        finally:
            interpreters.destroy(interp)
        import shared_ui as again
        assert again is shared_ui
        """, host=THIN_HOST)
    assert result.stdout.strip() == (
        "<class 'ImportError'>: Interpreter change detected - this module can only be loaded "
        "into one interpreter per process.")


def test_running_the_module_body_for_another_module_object_is_refused():
    import ctypes
    import types

    api = ctypes.pythonapi
    api.PyModule_GetDef.restype = ctypes.c_void_p
    api.PyModule_GetDef.argtypes = [ctypes.py_object]
    api.PyModule_ExecDef.argtypes = [ctypes.py_object, ctypes.c_void_p]
    api.PyModule_ExecDef.restype = ctypes.c_int
    definition = api.PyModule_GetDef(shared_ui)
    with pytest.raises(RuntimeError) as info:
        api.PyModule_ExecDef(types.ModuleType("shared_ui"), definition)
    assert str(info.value) == ("Module 'shared_ui' has already been imported. "
                               "Re-initialisation is not supported.")
    # Executing it again for its own module object is a no-op.
    assert api.PyModule_ExecDef(shared_ui, definition) == 0
    assert shared_ui.SaveMode.from_value(3) is shared_ui.SaveMode.APPLY_STEPS


def test_the_version_is_that_of_the_installed_distribution():
    try:
        distribution = importlib.metadata.distribution("shared_ui")
    except importlib.metadata.PackageNotFoundError:
        pytest.skip("not installed: running from a development build")
    # The distribution that owns the very file imported, not some other copy on the path.
    owned = {distribution.locate_file(file).resolve() for file in distribution.files}
    assert Path(shared_ui.__file__).resolve() in owned
    assert shared_ui.__version__ == distribution.version

# How the module loads: once per process, and not at all beside a host or a Qt it cannot use.
#
# Most cases need an interpreter of their own, because a module can be loaded only once per process.
import ctypes
import fnmatch
import importlib.metadata
import types
from pathlib import Path

import pytest

import shared_ui
from conftest import THIN_HOST, run_python


def needs(names, module, package):
    return (f"shared_ui needs {names} from {module}, in the host application's package {package}. "
            "The host application's packages must be importable (on sys.path) before "
            "`import shared_ui`.")


# Each sabotage runs before `import shared_ui`, which must then fail before any class body runs,
# with the error (and the note) given; `*` stands for any text.
@pytest.mark.parametrize("sabotage, error, note", [
    # A missing host module or name keeps the import system's own error and gains a note.
    ("forget_host()", "ModuleNotFoundError: No module named 'velmora'",
     needs("app_conf_glbl", "velmora.app_conf", "velmora")),
    ("import velmoracore.cloud_def as m; del m.K8sRegion", "ImportError: cannot import name K8sRegion",
     needs("K8sRegion", "velmoracore.cloud_def", "velmoracore")),
    ("import velmora.log_manager as m; del m.Log", "ImportError: cannot import name Log",
     needs("Log", "velmora.log_manager", "velmora")),
    # pip cannot tell whether PyQt6's Charts module is installed.
    ("sys.modules['PyQt6.QtCharts'] = None",
     "ModuleNotFoundError: import of PyQt6.QtCharts halted; None in sys.modules",
     "shared_ui needs QChartView, QChart, QBarSet, QBarSeries, QHorizontalBarSeries from "
     "PyQt6.QtCharts. PyQt6 and its QtCharts module must be installed for this Python."),
    # A host module that is there but fails on an import of its own is the host's problem.
    ("shadow_host_module('velmoracore', 'cloud_def', 'import not_installed_anywhere')",
     "ModuleNotFoundError: No module named 'not_installed_anywhere'", None),
    # A second QtCore, as a Qt bundled with some other package would be, beside PyQt6's.
    ("load_second_qt_core()", "ImportError: shared_ui must run on the QtCore library that PyQt6 "
     "loaded, but this process has loaded 2: */second-qt-*/libQt6Core.so.6.*", None),
], ids=["no-host", "host-name", "host-name-of-several", "qtcharts",
        "host-module-fails-itself", "second-qt-core"])
def test_the_import_stops_before_any_class(sabotage, error, note):
    result = run_python(f"""
        import ctypes, importlib, pathlib, shutil, sys, tempfile
        from velmora import log_manager

        def forget_host():
            sys.path[:] = [p for p in sys.path if not p.endswith("thin_host")]
            for name in [m for m in sys.modules if m.startswith("velmora")]:
                del sys.modules[name]

        def shadow_host_module(package, module, body):
            folder = tempfile.mkdtemp()
            pathlib.Path(folder, module + ".py").write_text(body)
            importlib.import_module(package).__path__.insert(0, folder)

        def load_second_qt_core():
            import PyQt6.QtCore
            core = next(line.split()[-1] for line in open("/proc/self/maps") if "/libQt6Core.so" in line)
            ctypes.CDLL(shutil.copy(core, tempfile.mkdtemp(prefix="second-qt-")))

        {sabotage}
        try:
            import shared_ui
        except BaseException as exc:
            print(type(exc).__name__ + ": " + str(exc), *getattr(exc, "__notes__", []), sep="\\n")
        assert "shared_ui" not in sys.modules
        assert log_manager.requests == []
        """, host=THIN_HOST)
    expected = [error] + ([note] if note else [])
    lines = result.stdout.strip().split("\n")
    assert len(lines) == len(expected) and all(map(fnmatch.fnmatchcase, lines, expected)), lines


@pytest.mark.skipif(not Path("/proc/self/maps").exists(), reason="no /proc/self/maps to read")
@pytest.mark.parametrize("first", ["shared_ui", "PyQt6.QtCharts"],
                         ids=["module-first", "pyqt6-first"])
def test_every_qt_library_is_that_of_pyqt6(first):
    # The loader takes the first library of a name it meets for the whole process, and pip's PyQt6
    # keeps a Qt of its own: whichever is imported first, the module must bring in PyQt6's.
    result = run_python(f"""
        import importlib, os
        importlib.import_module({first!r})
        import shared_ui
        from PyQt6 import QtCharts, QtWidgets
        from PyQt6.QtCore import QLibraryInfo
        print(os.path.realpath(QLibraryInfo.path(QLibraryInfo.LibraryPath.LibrariesPath)))
        print(*{{line.split()[-1] for line in open("/proc/self/maps") if "/libQt6" in line}})
        """)
    folder, libraries = result.stdout.split("\n", 1)
    names = {Path(library).name.split(".so")[0] for library in libraries.split()}
    assert {"libQt6Core", "libQt6Gui", "libQt6Widgets", "libQt6Charts"} <= names
    assert {str(Path(library).resolve().parent) for library in libraries.split()} == {folder}


def test_a_failed_import_starts_afresh_then_the_module_loads_once_per_process():
    result = run_python("""
        import gc, importlib, re, sys, warnings, weakref
        from velmora import log_manager

        warnings.simplefilter("error")  # no version warning on the interpreter it is built for
        sound, seen = log_manager.get_logger, {}

        def failing_get_logger(kind):
            if len(log_manager.requests) == 2:  # the third class logger: VLMDialog's
                seen["module"] = sys.modules["shared_ui"]
                raise LookupError("no logger today")
            return sound(kind)

        log_manager.get_logger = failing_get_logger
        try:
            import shared_ui
        except LookupError as exc:
            print(exc)
        assert "shared_ui" not in sys.modules
        assert "WidgetAnimator" in vars(seen["module"]) and "VLMDialog" not in vars(seen["module"])
        failed = weakref.ref(seen.pop("module"))

        log_manager.get_logger = sound
        log_manager.requests.clear()
        import shared_ui
        gc.collect()
        assert failed() is None  # nothing keeps the module of the failed import alive
        # The class-level loggers were asked for once each, in class order, all the application's.
        loggers = [shared_ui.MiniHistChartView.logger, shared_ui.WidgetAnimator.logger,
                   shared_ui.VLMDialog.logger, shared_ui.VLMStatusBar.logger]
        assert [(logger.kind, logger.number) for logger in loggers] == [("app", n) for n in (1, 2, 3, 4)]
        names = {name: getattr(shared_ui, name) for name in dir(shared_ui)}
        import shared_ui as again
        del sys.modules["shared_ui"]
        assert again is importlib.import_module("shared_ui") is importlib.reload(shared_ui) is shared_ui
        assert len(log_manager.requests) == 4
        assert {name: getattr(shared_ui, name) for name in dir(shared_ui)} == names

        # A second interpreter of this process that shares the first one's GIL: the kind in which
        # CPython lets any extension module load, so that the module's own check must refuse it.
        # The private module that makes one is _interpreters from 3.13 on, where run_string
        # returns what the code raised rather than raising it.
        code = f"import sys; sys.path[:0] = {sys.path!r}\\nimport shared_ui"
        try:
            import _interpreters
        except ImportError:
            import _xxsubinterpreters as interpreters
            interpreter = interpreters.create(isolated=False)
            try:
                interpreters.run_string(interpreter, code)
            except interpreters.RunFailedError as exc:
                print(re.sub(r"^<class '(\\w+)'>", r"\\1", str(exc)))
            interpreters.destroy(interpreter)
        else:
            interpreter = _interpreters.create("legacy")
            error = _interpreters.run_string(interpreter, code)
            print(f"{error.type.__name__}: {error.msg}" if error else None)
            _interpreters.destroy(interpreter)
        """, host=THIN_HOST)
    assert result.stdout.splitlines() == [
        "no logger today", "ImportError: Interpreter change detected - this module can only be "
        "loaded into one interpreter per process."]


def test_running_the_module_body_for_another_module_object_is_refused():
    api = ctypes.pythonapi
    api.PyModule_GetDef.restype = ctypes.c_void_p
    api.PyModule_GetDef.argtypes = [ctypes.py_object]
    api.PyModule_ExecDef.argtypes = [ctypes.py_object, ctypes.c_void_p]
    definition = api.PyModule_GetDef(shared_ui)
    with pytest.raises(RuntimeError) as info:
        api.PyModule_ExecDef(types.ModuleType("shared_ui"), definition)
    assert str(info.value) == ("Module 'shared_ui' has already been imported. "
                               "Re-initialisation is not supported.")
    # Executing it again for its own module object is a no-op.
    assert api.PyModule_ExecDef(shared_ui, definition) == 0


def test_the_version_is_that_of_the_installed_distribution():
    try:
        distribution = importlib.metadata.distribution("shared_ui")
    except importlib.metadata.PackageNotFoundError:
        pytest.skip("not installed: running from a development build")
    # The distribution that owns the very file imported, not some other copy on the path.
    owned = {distribution.locate_file(file).resolve() for file in distribution.files}
    assert Path(shared_ui.__file__).resolve() in owned
    assert shared_ui.__version__ == distribution.version

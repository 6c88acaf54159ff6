# The module as the host sees it: the names it imports and the classes it defines, in order, with
# their bases, class attributes and every method's kind and signature.
import ast
import importlib
import inspect

import pytest
from velmora.app_conf import app_conf_glbl
from velmora.app_state import app_state_glbl
from velmora.icon_manager import icons_glbl
from velmora.notifier import notifier_glbl
from velmoracore.core_conf import core_conf_glbl

import shared_ui
from conftest import CLASSES, ROOT

# What the module body imports, in order: {module: names}; `keyword` is bound as the module.
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

KINDS = {staticmethod: "static ", classmethod: "class ", property: "property "}
# The name-mangled helper is the one method the stub leaves out: no host calls it by that name.
UNSTUBBED = "    _MiniHist__update_bucket_labels(self, arr_label_and_value)"


def outline(cls):
    """The class as one line with its base, then one per method: kind, name and signature."""
    (base,) = cls.__bases__
    yield f"{cls.__qualname__}({base.__qualname__})"
    for name, value in vars(cls).items():
        # enum reserves _sunder_ names for its own machinery (from 3.13 on, every enum class holds
        # _generate_next_value_); no class body of the module defines one.
        if len(name) > 2 and name[0] == name[-1] == "_" and "_" not in (name[1], name[-2]):
            continue
        kind = KINDS.get(type(value), "" if type(value).__name__ == "instancemethod" else None)
        if kind is not None:
            function = value.fget if kind == "property " else getattr(value, "__func__", value)
            yield f"    {kind}{name}{inspect.signature(function)}"


def stub_outline():
    """The public classes of the typed stub, written as outline() writes them, without types."""
    for cls in ast.parse((ROOT / "stubs" / "shared_ui.pyi").read_text()).body:
        if isinstance(cls, ast.ClassDef) and not cls.name.startswith("_"):
            yield f"{cls.name}({ast.unparse(cls.bases[0]) if cls.bases else 'object'})"
            for method in (node for node in cls.body if isinstance(node, ast.FunctionDef)):
                for arg in ast.walk(method.args):
                    if isinstance(arg, ast.arg):
                        arg.annotation = None
                kind = "".join(f"{d.id[:-6] if d.id.endswith('method') else d.id} "
                               for d in method.decorator_list)
                yield f"    {kind}{method.name}({ast.unparse(method.args)})"


def test_namespace_holds_the_imports_then_the_classes_in_order():
    names = [name for name in vars(shared_ui) if not name.startswith("__")]
    classes = [line.split("(")[0] for line in stub_outline() if not line.startswith(" ")]
    assert names == [name for bound in IMPORTED.values() for name in bound] + classes
    for source, bound in IMPORTED.items():
        module = importlib.import_module(source)
        for name in bound:
            assert getattr(shared_ui, name) is (module if source == "keyword" else getattr(module, name))


# The stub is the surface we publish: the module holds its classes, bases and methods in its
# order, with the same kinds, parameter names and defaults.
def test_classes_bases_and_methods_are_the_stubs_in_order():
    found = [line for cls in CLASSES for line in outline(cls)]
    assert UNSTUBBED in found
    assert [line for line in found if line != UNSTUBBED] == list(stub_outline())


# The highlighters and their methods carry the module's own doc strings (the methods' first lines
# here), and nothing else has one: not even a signature that pybind11 writes. The stub's
# documentation is for host developers and lives in the stub.
HIGHLIGHTERS = ("VLMPythonHighlighter", "VLMHighlighter", "VLMSQLHighlighter")
DOCS = {
    "VLMPythonHighlighter": "Syntax highlighter for the Python language.",
    "VLMHighlighter": " Syntax highlighter for the Python language.\n    **  THIS is a simpler "
                      "version of VLMPythonHighlighter intended to be used for filters, formulas "
                      "etc.\n    and not full-blown Python functions with def, exceptions etc.\n    ",
    "VLMSQLHighlighter": " Syntax highlighter for the SQL language.",
    **{f"{cls}.{method}": doc for cls in HIGHLIGHTERS for method, doc in [
        ("format_text", "Return a QTextCharFormat with the given attributes."),
        ("highlightBlock", "Apply syntax highlighting to the given block of text."),
        ("match_multiline", "Highlighting of multi-line strings.")]
       if method != "match_multiline" or cls == "VLMPythonHighlighter"},
}


def test_doc_strings():
    found = {}
    for cls in CLASSES:
        found[cls.__name__] = vars(cls).get("__doc__")
        for line in list(outline(cls))[1:]:
            method = line.split("(")[0].split()[-1]
            value = vars(cls)[method]
            doc = (getattr(value, "fget", None) or getattr(value, "__func__", value)).__doc__
            found[f"{cls.__name__}.{method}"] = doc and doc.strip().split("\n")[0]
    assert {name: doc for name, doc in found.items() if doc} == DOCS


# The dialog's class attributes are the host's singletons (the loggers: test_module_loading.py).
def test_dialog_class_attributes_are_the_hosts_globals():
    assert shared_ui.WidgetAnimator.app_state is app_state_glbl
    dialog = vars(shared_ui.VLMDialog)
    expected = {"app_state": app_state_glbl, "core_conf": core_conf_glbl, "app_conf": app_conf_glbl,
                "icons": icons_glbl, "notifier": notifier_glbl}
    assert [(key, dialog[key]) for key in dialog if key in expected] == list(expected.items())


# Methods look the module's names up when they run, as Python functions do.
def test_a_name_gone_from_the_module_fails_as_it_would_in_python(monkeypatch):
    monkeypatch.delattr(shared_ui, "ModelHostUrlResolver")
    with pytest.raises(NameError, match="^name 'ModelHostUrlResolver' is not defined$"):
        shared_ui.ModelSelectionState(region=None)

# The module as the host sees it: the names it imports and the classes it defines, in order, with
# their bases, class attributes and every method's kind and signature.
import importlib
import inspect
import re

import pytest
from velmora.app_conf import app_conf_glbl
from velmora.app_state import app_state_glbl
from velmora.icon_manager import icons_glbl
from velmora.notifier import notifier_glbl
from velmoracore.core_conf import core_conf_glbl

import shared_ui

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

# The classes in the module's order, each with its base and its methods in definition order:
# kind (static, class, property or none) and signature. An indented line continues the one above.
SURFACE = """
MiniHistViewMode(IntEnum)
MiniHistChartView(QChartView)
    __init__(self, chart, parent, on_vlm_click_handler)
    set_animations_on(self, animations_on)
    update_chart(self, hist_values, bin_edges, hist_val_total_count, view_mode,
        default_description=None)
    mousePressEvent(self, event, *args, **kwargs)
    mouseMoveEvent(self, event, *args, **kwargs)
    on_mouse_move_for_sampling_stat(self, event)
    on_mouse_move_for_column_stat(self, event)
MiniHist(QWidget)
    __init__(self, parent, on_vlm_click_handler=None)
    isVisible(self)
    property view_mode(self)
    set_animations_on(self, animations_on)
    _MiniHist__update_bucket_labels(self, arr_label_and_value)
    update_column_stats(self, hist_values, bin_edges, hist_val_total_count, min_val, p25_val,
        p50_val, p75_val, max_val, avg_val, is_boolean_field=False)
    update_ws_sampling_stats(self, total_rows, worker_rows, app_rows, total_rows_is_estimated=True)
VLMPythonHighlighter(QSyntaxHighlighter)
    static format_text(color, style='')
    __init__(self, document, highlight_triple_string=False)
    highlightBlock(self, text)
    match_multiline(self, text, delimiter, in_state, style)
VLMHighlighter(QSyntaxHighlighter)
    static format_text(color, style='')
    __init__(self, document, vlm_formula_mode=True, arr_function_name=None)
    highlightBlock(self, text)
VLMCodeTextEdit(QPlainTextEdit)
    __init__(self, parent, highlight_triple_string=False)
    keyPressEvent(self, e)
VLMSQLHighlighter(QSyntaxHighlighter)
    static format_text(color, style='')
    __init__(self, document)
    highlightBlock(self, text)
VLMSQLTextEdit(QPlainTextEdit)
    __init__(self, parent)
WidgetAnimator(object)
    reset_style_sheet(self, widget, original_style_sheet='')
    set_animation_to_widget(self, widget, style, display_for_msec=3000)
    highlight_widget(self, widget, highlight_for_msec=3000)
VLMDialog(QDialog)
    __init__(self, parent)
    fix_dark_mode(self, combo_widget)
    static change_font_size(widget, increment_size=None, decrement_size=None, is_bold=None,
        family=None, weight=None, is_italic=None)
    highlight_widget(self, widget, highlight_for_msec=3000)
FontHelper(object)
    static change_font_size(widget, increment_size=None, decrement_size=None, is_bold=None,
        family=None, weight=None, is_italic=None)
PickAnyValueDialog(VLMDialog)
    __init__(self, parent, text_list, title=None)
    get_selected_items(self)
VLMFloatingLabel(QLabel)
    mousePressEvent(self, event)
VLMStatusBar(QStatusBar)
    __init__(self, parent)
    _on_status_bar_timer(self, *args, **kwargs)
    clear_messages_and_hide(self)
    has_messages(self)
    set_timer_to_hide(self, msecs)
    showMessage2(self, message, msecs, use_floating_label=True)
    showMessage(self, message, msecs=1000)
    clearMessage(self)
GetModelConfigThread(VLMThread)
    __init__(self, parent, region, model_meta, version_info=None, success_msg=None,
        error_msg=None)
    _run(self)
GetWorkflowServicesThread(VLMThread)
    __init__(self, parent, region, success_msg=None, error_msg=None)
    _run(self)
ModelSelectionState(object)
    __init__(self, region, model_prefix=None, model_meta=None, version_info=None)
    property model_url(self)
    set_token(self, token)
    property token(self)
SaveMode(IntEnum)
    class from_value(cls, value)
TabNameHelper(object)
    static shorten_node_name(node_name)
"""
OUTLINE = re.sub(r"\n {8}", " ", SURFACE).strip().split("\n")
CLASSES = re.findall(r"^(\w+)\(", SURFACE, re.M)
KINDS = {staticmethod: "static ", classmethod: "class ", property: "property "}


def outline(cls):
    """The class as SURFACE writes it: its name and base, then one line per method."""
    (base,) = cls.__bases__
    yield f"{cls.__qualname__}({base.__qualname__})"
    for name, value in vars(cls).items():
        kind = KINDS.get(type(value), "" if type(value).__name__ == "instancemethod" else None)
        if kind is not None:
            function = value.fget if kind == "property " else getattr(value, "__func__", value)
            yield f"    {kind}{name}{inspect.signature(function)}"


def test_namespace_holds_the_imports_then_the_classes_in_order():
    names = [name for name in vars(shared_ui) if not name.startswith("__")]
    assert names == [name for bound in IMPORTED.values() for name in bound] + CLASSES
    for source, bound in IMPORTED.items():
        module = importlib.import_module(source)
        for name in bound:
            assert getattr(shared_ui, name) is (module if source == "keyword" else getattr(module, name))


def test_classes_bases_and_methods_in_order():
    classes = [getattr(shared_ui, name) for name in CLASSES]
    assert [(cls.__module__, cls.__name__) for cls in classes] == [("shared_ui", n) for n in CLASSES]
    assert [line for cls in classes for line in outline(cls)] == OUTLINE


def test_shared_class_attributes_are_bound_once_at_import():
    loggers = [shared_ui.MiniHistChartView.logger, shared_ui.WidgetAnimator.logger,
               shared_ui.VLMDialog.logger, shared_ui.VLMStatusBar.logger]
    assert all(logger is shared_ui.get_logger(shared_ui.Log.APP) for logger in loggers)
    assert shared_ui.WidgetAnimator.app_state is app_state_glbl
    dialog = vars(shared_ui.VLMDialog)
    expected = {"logger": dialog["logger"], "app_state": app_state_glbl, "core_conf": core_conf_glbl,
                "app_conf": app_conf_glbl, "icons": icons_glbl, "notifier": notifier_glbl}
    assert [(key, dialog[key]) for key in dialog if key in expected] == list(expected.items())


def test_highlighter_bodies_define_format_text_before_their_lists():
    for name, lists in [("VLMPythonHighlighter", ["keywords", "operators", "braces"]),
                        ("VLMHighlighter", ["operators", "braces"]),
                        ("VLMSQLHighlighter", ["keywords", "operators", "braces"])]:
        keys = list(vars(getattr(shared_ui, name)))
        order = [keys.index(key) for key in ["format_text", *lists, "__init__"]]
        assert order == sorted(order), name


# Methods look the module's names up when they run, as Python functions do.
def test_a_name_gone_from_the_module_fails_as_it_would_in_python(monkeypatch):
    monkeypatch.delattr(shared_ui, "ModelHostUrlResolver")
    with pytest.raises(NameError, match="^name 'ModelHostUrlResolver' is not defined$"):
        shared_ui.ModelSelectionState(region=None)

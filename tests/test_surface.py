"""The classes as the host sees them: bases, class attributes, and every method's signature."""
import inspect
import types

import pytest
from PyQt6 import QtCharts, QtGui, QtWidgets, sip
from velmora.app_conf import app_conf_glbl
from velmora.app_state import app_state_glbl
from velmora.icon_manager import icons_glbl
from velmora.notifier import notifier_glbl
from velmora.vlm_thread import VLMThread
from velmoracore.core_conf import core_conf_glbl

import shared_ui

FONT_PARAMETERS = ("(widget, increment_size=None, decrement_size=None, is_bold=None, family=None, "
                   "weight=None, is_italic=None)")

# Per class: its base and its methods in definition order, as (name, kind, signature).
SURFACE = {
    "MiniHistViewMode": ("IntEnum", []),
    "MiniHistChartView": (QtCharts.QChartView, [
        ("__init__", "", "(self, chart, parent, on_vlm_click_handler)"),
        ("set_animations_on", "", "(self, animations_on)"),
        ("update_chart", "", "(self, hist_values, bin_edges, hist_val_total_count, view_mode, "
                             "default_description=None)"),
        ("mousePressEvent", "", "(self, event, *args, **kwargs)"),
        ("mouseMoveEvent", "", "(self, event, *args, **kwargs)"),
        ("on_mouse_move_for_sampling_stat", "", "(self, event)"),
        ("on_mouse_move_for_column_stat", "", "(self, event)"),
    ]),
    "MiniHist": (QtWidgets.QWidget, [
        ("__init__", "", "(self, parent, on_vlm_click_handler=None)"),
        ("isVisible", "", "(self)"),
        ("view_mode", "property", "(self)"),
        ("set_animations_on", "", "(self, animations_on)"),
        ("_MiniHist__update_bucket_labels", "", "(self, arr_label_and_value)"),
        ("update_column_stats", "", "(self, hist_values, bin_edges, hist_val_total_count, min_val, "
                                    "p25_val, p50_val, p75_val, max_val, avg_val, "
                                    "is_boolean_field=False)"),
        ("update_ws_sampling_stats", "", "(self, total_rows, worker_rows, app_rows, "
                                         "total_rows_is_estimated=True)"),
    ]),
    "VLMPythonHighlighter": (QtGui.QSyntaxHighlighter, [
        ("format_text", "static", "(color, style='')"),
        ("__init__", "", "(self, document, highlight_triple_string=False)"),
        ("highlightBlock", "", "(self, text)"),
        ("match_multiline", "", "(self, text, delimiter, in_state, style)"),
    ]),
    "VLMHighlighter": (QtGui.QSyntaxHighlighter, [
        ("format_text", "static", "(color, style='')"),
        ("__init__", "", "(self, document, vlm_formula_mode=True, arr_function_name=None)"),
        ("highlightBlock", "", "(self, text)"),
    ]),
    "VLMCodeTextEdit": (QtWidgets.QPlainTextEdit, [
        ("__init__", "", "(self, parent, highlight_triple_string=False)"),
        ("keyPressEvent", "", "(self, e)"),
    ]),
    "VLMSQLHighlighter": (QtGui.QSyntaxHighlighter, [
        ("format_text", "static", "(color, style='')"),
        ("__init__", "", "(self, document)"),
        ("highlightBlock", "", "(self, text)"),
    ]),
    "VLMSQLTextEdit": (QtWidgets.QPlainTextEdit, [("__init__", "", "(self, parent)")]),
    "WidgetAnimator": (object, [
        ("reset_style_sheet", "", "(self, widget, original_style_sheet='')"),
        ("set_animation_to_widget", "", "(self, widget, style, display_for_msec=3000)"),
        ("highlight_widget", "", "(self, widget, highlight_for_msec=3000)"),
    ]),
    "VLMDialog": (QtWidgets.QDialog, [
        ("__init__", "", "(self, parent)"),
        ("fix_dark_mode", "", "(self, combo_widget)"),
        ("change_font_size", "static", FONT_PARAMETERS),
        ("highlight_widget", "", "(self, widget, highlight_for_msec=3000)"),
    ]),
    "FontHelper": (object, [("change_font_size", "static", FONT_PARAMETERS)]),
    "PickAnyValueDialog": ("VLMDialog", [
        ("__init__", "", "(self, parent, text_list, title=None)"),
        ("get_selected_items", "", "(self)"),
    ]),
    "VLMFloatingLabel": (QtWidgets.QLabel, [("mousePressEvent", "", "(self, event)")]),
    "VLMStatusBar": (QtWidgets.QStatusBar, [
        ("__init__", "", "(self, parent)"),
        ("_on_status_bar_timer", "", "(self, *args, **kwargs)"),
        ("clear_messages_and_hide", "", "(self)"),
        ("has_messages", "", "(self)"),
        ("set_timer_to_hide", "", "(self, msecs)"),
        ("showMessage2", "", "(self, message, msecs, use_floating_label=True)"),
        ("showMessage", "", "(self, message, msecs=1000)"),
        ("clearMessage", "", "(self)"),
    ]),
    "GetModelConfigThread": (VLMThread, [
        ("__init__", "", "(self, parent, region, model_meta, version_info=None, success_msg=None, "
                         "error_msg=None)"),
        ("_run", "", "(self)"),
    ]),
    "GetWorkflowServicesThread": (VLMThread, [
        ("__init__", "", "(self, parent, region, success_msg=None, error_msg=None)"),
        ("_run", "", "(self)"),
    ]),
    "ModelSelectionState": (object, [
        ("__init__", "", "(self, region, model_prefix=None, model_meta=None, version_info=None)"),
        ("model_url", "property", "(self)"),
        ("set_token", "", "(self, token)"),
        ("token", "property", "(self)"),
    ]),
    "SaveMode": ("IntEnum", [("from_value", "class", "(cls, value)")]),
    "TabNameHelper": (object, [("shorten_node_name", "static", "(node_name)")]),
}

KINDS = {staticmethod: "static", classmethod: "class", property: "property"}


def methods_of(cls):
    for name, value in vars(cls).items():
        kind = KINDS.get(type(value))
        if kind is None and type(value).__name__ == "instancemethod":
            kind = ""
        if kind is None:
            continue
        function = value.fget if kind == "property" else getattr(value, "__func__", value)
        yield name, kind, str(inspect.signature(function))


def test_class_table_order():
    names = [name for name, value in vars(shared_ui).items() if isinstance(value, type)
             and value.__module__ == "shared_ui"]
    assert names == list(SURFACE)


@pytest.mark.parametrize("name", list(SURFACE))
def test_class_base_module_and_methods(name):
    cls = getattr(shared_ui, name)
    base, methods = SURFACE[name]
    base = getattr(shared_ui, base) if isinstance(base, str) else base
    assert cls.__bases__ == (base,)
    assert (cls.__module__, cls.__qualname__, cls.__name__) == ("shared_ui", name, name)
    assert list(methods_of(cls)) == methods


def test_metaclasses_follow_the_bases():
    assert type(shared_ui.MiniHist) is sip.wrappertype
    assert type(shared_ui.SaveMode) is type(shared_ui.IntEnum)
    assert type(shared_ui.GetModelConfigThread) is type(VLMThread)
    assert type(shared_ui.TabNameHelper) is type


def test_shared_class_attributes_are_bound_once_at_import():
    loggers = [shared_ui.MiniHistChartView.logger, shared_ui.WidgetAnimator.logger,
               shared_ui.VLMDialog.logger, shared_ui.VLMStatusBar.logger]
    assert all(logger is shared_ui.get_logger(shared_ui.Log.APP) for logger in loggers)
    assert shared_ui.WidgetAnimator.app_state is app_state_glbl
    dialog = vars(shared_ui.VLMDialog)
    assert [key for key in dialog if key in {"logger", "app_state", "core_conf", "app_conf",
                                             "icons", "notifier"}] == [
        "logger", "app_state", "core_conf", "app_conf", "icons", "notifier"]
    assert (dialog["app_state"], dialog["core_conf"], dialog["app_conf"], dialog["icons"],
            dialog["notifier"]) == (app_state_glbl, core_conf_glbl, app_conf_glbl, icons_glbl,
                                    notifier_glbl)


def test_highlighter_bodies_define_format_text_before_their_lists():
    for name, lists in [("VLMPythonHighlighter", ["keywords", "operators", "braces"]),
                        ("VLMHighlighter", ["operators", "braces"]),
                        ("VLMSQLHighlighter", ["keywords", "operators", "braces"])]:
        keys = list(vars(getattr(shared_ui, name)))
        order = [keys.index(key) for key in ["format_text", *lists, "__init__"]]
        assert order == sorted(order), name


@pytest.mark.parametrize("name, doc", [
    ("VLMPythonHighlighter", "Syntax highlighter for the Python language."),
    ("VLMSQLHighlighter", "Syntax highlighter for the SQL language."),
])
def test_highlighter_docstrings(name, doc):
    assert getattr(shared_ui, name).__doc__.strip() == doc


def test_formula_highlighter_docstring_has_its_three_sentences():
    doc = " ".join(shared_ui.VLMHighlighter.__doc__.split())
    assert doc.startswith("Syntax highlighter for the Python language.")
    assert ("THIS is a simpler version of VLMPythonHighlighter intended to be used for filters, "
            "formulas etc. and not full-blown Python functions with def, exceptions etc.") in doc


def test_static_font_helpers_need_no_instance():
    for cls in (shared_ui.VLMDialog, shared_ui.FontHelper):
        assert isinstance(vars(cls)["change_font_size"], staticmethod)

import logging
import sys
import types

import pytest
from PyQt6 import sip
from PyQt6.QtCore import QPoint, Qt
from PyQt6.QtGui import QFont
from PyQt6.QtWidgets import (QComboBox, QDialogButtonBox, QGroupBox, QLabel, QLineEdit,
                             QWidget)

import shared_ui
from shared_ui import FontHelper, PickAnyValueDialog, VLMDialog, WidgetAnimator

BLUE = "color: blue; font-weight: bold;"
ORANGE = "color: orange; font-weight: bold;"


class RecordingAnimator(WidgetAnimator):
    """Counts restores, so tests wait for the restore itself rather than for a time."""

    def __init__(self):
        self.restores = 0

    def reset_style_sheet(self, widget, original_style_sheet=""):
        super().reset_style_sheet(widget, original_style_sheet)
        self.restores += 1


@pytest.fixture
def page(qtbot):
    page = QWidget()
    qtbot.addWidget(page)
    page.show()
    return page


def shown(widget):
    widget.show()
    return widget


@pytest.mark.parametrize("make, sheet, dark, expected", [
    (QLabel, "", False, BLUE),
    (QLabel, "color: red;", False, "color: red;" + BLUE),
    (QLabel, "QLabel { color: red; }", False, "QLabel { color: red;  " + BLUE + " }"),
    (QLineEdit, "QLineEdit { a: b; } QLineEdit:focus { c: d; }", True,
     "QLineEdit { a: b; } QLineEdit:focus { c: d;  " + ORANGE + " }"),
    (QGroupBox, "", False, "QGroupBox#box1{" + BLUE + "}"),
    (QGroupBox, "x: y;", False, "x: y;QGroupBox#box1{" + BLUE + "}"),
])
def test_highlight_merges_into_the_widget_style_sheet_and_restores_it(
        qtbot, page, dark_mode, make, sheet, dark, expected):
    dark_mode(dark)
    widget = shown(make(page))
    widget.setObjectName("box1")
    widget.setStyleSheet(sheet)
    animator = RecordingAnimator()
    animator.highlight_widget(widget, highlight_for_msec=10)
    assert widget.styleSheet() == expected
    qtbot.waitUntil(lambda: animator.restores == 1)
    assert widget.styleSheet() == sheet


def test_overlapping_highlights_restore_in_turn(qtbot, page):
    label = shown(QLabel(page))
    label.setStyleSheet("color: red;")
    animator = RecordingAnimator()
    animator.highlight_widget(label, 0)
    animator.highlight_widget(label, 50)
    qtbot.waitUntil(lambda: animator.restores == 1)
    assert label.styleSheet() == "color: red;"
    qtbot.waitUntil(lambda: animator.restores == 2)
    assert label.styleSheet() == "color: red;" + BLUE


def cpp_created_button(page):
    box = shown(QDialogButtonBox(QDialogButtonBox.StandardButton.Ok, page))
    return box.button(QDialogButtonBox.StandardButton.Ok)


@pytest.mark.parametrize("make, spoil", [
    (lambda page: shown(QLabel(page)), lambda label: label.hide()),
    (lambda page: shown(QLabel(page)), sip.delete),
    (cpp_created_button, lambda button: sip.delete(button.parent())),
])
def test_restore_spares_hidden_and_deleted_widgets(qtbot, caplog, page, make, spoil):
    caplog.set_level(logging.DEBUG)
    widget = make(page)
    animator = RecordingAnimator()
    animator.highlight_widget(widget, 0)
    spoil(widget)
    qtbot.waitUntil(lambda: animator.restores == 1)
    assert caplog.records == []
    if not sip.isdeleted(widget):
        assert widget.styleSheet() == BLUE


class Broken(QLabel):
    def setStyleSheet(self, sheet):
        raise ValueError("no style")


@pytest.mark.parametrize("call", [
    lambda animator, page: animator.set_animation_to_widget(object(), "a: b;"),
    lambda animator, page: animator.highlight_widget(Broken(page)),
    lambda animator, page: animator.reset_style_sheet(shown(Broken(page)), "a: b;"),
])
def test_animator_failures_are_logged_at_debug(caplog, page, call):
    caplog.set_level(logging.DEBUG)
    assert call(WidgetAnimator(), page) is None
    [record] = caplog.records
    assert (record.levelname, record.getMessage()) == ("DEBUG", "Could not change stylesheet")
    assert record.exc_info is not None


def test_dark_mode_read_errors_reach_the_caller(monkeypatch, page):
    monkeypatch.setattr(WidgetAnimator, "app_state", None)
    with pytest.raises(AttributeError):
        WidgetAnimator().highlight_widget(QLabel(page))


@pytest.fixture
def dialog(qtbot, page):
    dialog = VLMDialog(page)
    qtbot.addWidget(dialog)
    return dialog


@pytest.mark.parametrize("dark, highlight, combo_sheet", [(False, BLUE, "color: red;"),
                                                           (True, ORANGE, "color: white;")])
def test_dialog_highlights_and_fixes_dark_mode(dialog, page, dark_mode, dark, highlight, combo_sheet):
    assert dialog.parent is page and dialog.msg_box.parent is dialog
    dark_mode(dark)
    label, combo = QLabel(dialog), QComboBox(dialog)
    dialog.highlight_widget(widget=label, highlight_for_msec=10)
    combo.setStyleSheet("color: red;")
    dialog.fix_dark_mode(combo_widget=combo)
    assert (label.styleSheet(), combo.styleSheet()) == (highlight, combo_sheet)


@pytest.mark.parametrize("kwargs, check", [
    ({"increment_size": 2}, lambda f: f.pointSize() == 11),
    ({"increment_size": 2, "decrement_size": 1}, lambda f: f.pointSize() == 10),
    ({"weight": QFont.Weight.Light, "is_bold": True}, lambda f: f.bold()),
    ({"weight": QFont.Weight.Light}, lambda f: f.weight() == QFont.Weight.Light),
    ({"is_bold": False}, lambda f: f.weight() == QFont.Weight.Normal),
    ({"is_italic": True, "family": "Courier New"},
     lambda f: f.italic() and f.family() == "Courier New"),
    ({}, lambda f: f == QFont("Sans", 9, QFont.Weight.DemiBold)),
])
def test_change_font_size(page, kwargs, check):
    label = QLabel(page)
    label.setFont(QFont("Sans", 9, QFont.Weight.DemiBold))
    assert FontHelper.change_font_size(label, **kwargs) is None
    assert check(label.font())


def test_dialog_font_change_delegates_by_keyword(monkeypatch):
    calls = []
    fake = types.SimpleNamespace(change_font_size=lambda **kwargs: calls.append(kwargs))
    monkeypatch.setattr(shared_ui, "FontHelper", fake)
    VLMDialog.change_font_size("w", 1, is_italic=False)
    assert calls == [dict(widget="w", increment_size=1, decrement_size=None, is_bold=None,
                          family=None, weight=None, is_italic=False)]


def test_font_failure_warns_through_a_fresh_logger(monkeypatch, caplog, page):
    label = QLabel(page)
    before = label.font()
    asked = []
    monkeypatch.setattr(shared_ui, "get_logger",
                        lambda log: asked.append(log) or logging.getLogger("fresh"))
    FontHelper.change_font_size(label, increment_size=1, family=12)
    assert asked == [shared_ui.Log.APP] and label.font() == before
    [record] = caplog.records
    assert (record.name, record.levelname, record.getMessage()) == (
        "fresh", "WARNING", "Could not change font")
    assert record.exc_info[0] is TypeError


class Raising:
    def __getattr__(self, name):
        raise KeyError(name)


@pytest.mark.parametrize("break_it, call, message", [
    ("widget_animator", lambda d, w: d.highlight_widget(w), "Could not highlight widget okButton"),
    ("widget_animator", lambda d, w: d.highlight_widget(None), "Could not highlight widget ?"),
    ("widget_animator", lambda d, w: sip.delete(w) or d.highlight_widget(w),
     "Could not highlight widget ?"),
    ("app_state", lambda d, w: d.fix_dark_mode(QComboBox(d)),
     "Could not change stylesheet for dark mode"),
])
def test_dialog_failures_are_logged_as_errors(caplog, dialog, break_it, call, message):
    widget = QLabel(dialog)
    widget.setObjectName("okButton")
    setattr(dialog, break_it, Raising())
    assert call(dialog, widget) is None
    [record] = caplog.records
    assert (record.levelname, record.getMessage()) == ("ERROR", message)
    assert record.exc_info[0] is KeyError


@pytest.mark.parametrize("title, expected", [(None, "Pick values"), ("", "Pick values"),
                                             ("Columns", "Columns")])
def test_pick_values_dialog_items_and_title(qtbot, page, title, expected):
    dialog = PickAnyValueDialog(page, ["a", "b", "a"], title)
    qtbot.addWidget(dialog)
    assert dialog.windowTitle() == expected and dialog.parent is page
    items = [dialog.ui.listWidget.item(i) for i in range(dialog.ui.listWidget.count())]
    assert [item.text() for item in items] == ["a", "b", "a"]
    assert {item.flags() for item in items} == {
        Qt.ItemFlag.ItemIsSelectable | Qt.ItemFlag.ItemIsUserCheckable | Qt.ItemFlag.ItemIsEnabled}


def test_selection_comes_back_in_row_order(qtbot, page):
    dialog = PickAnyValueDialog(page, text_list=["a", "b", "c"])
    qtbot.addWidget(dialog)
    dialog.show()
    widget = dialog.ui.listWidget
    for row in (2, 0, 1):
        rect = widget.visualItemRect(widget.item(row))
        # The check box sits at the item's left edge.
        qtbot.mouseClick(widget.viewport(), Qt.MouseButton.LeftButton,
                         pos=QPoint(rect.left() + 10, rect.center().y()))
    widget.item(1).setCheckState(Qt.CheckState.PartiallyChecked)
    assert dialog.get_selected_items() == ["a", "c"]


def test_the_form_is_imported_when_a_dialog_is_built(qtbot, monkeypatch, page):
    class Form:
        def setupUi(self, dialog):
            from PyQt6.QtWidgets import QListWidget
            self.listWidget = QListWidget(dialog)
            self.listWidget.addItem("left by the form")

    module = types.ModuleType("velmora.ui_pickvaluesdialog")
    module.Ui_PickValuesDialog = Form
    monkeypatch.setitem(sys.modules, "velmora.ui_pickvaluesdialog", module)
    dialog = PickAnyValueDialog(page, ["x"])
    qtbot.addWidget(dialog)
    widget = dialog.ui.listWidget
    assert type(dialog.ui) is Form and (widget.count(), widget.item(0).text()) == (1, "x")
    del module.Ui_PickValuesDialog
    with pytest.raises(ImportError, match="cannot import name 'Ui_PickValuesDialog'"):
        PickAnyValueDialog(page, ["x"])

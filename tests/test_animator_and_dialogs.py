# WidgetAnimator, VLMDialog and FontHelper, and PickAnyValueDialog.
import sys
import types

import pytest
from PyQt6 import sip
from PyQt6.QtCore import QPoint, Qt
from PyQt6.QtGui import QFont
from PyQt6.QtWidgets import QComboBox, QDialogButtonBox, QGroupBox, QLabel, QLineEdit, QListWidget

from shared_ui import FontHelper, PickAnyValueDialog, VLMDialog, WidgetAnimator

BLUE = "color: blue; font-weight: bold;"
ORANGE = "color: orange; font-weight: bold;"


class RecordingAnimator(WidgetAnimator):
    """Counts restores, so tests wait for the restore itself rather than for a time."""

    restores = 0

    def reset_style_sheet(self, widget, original_style_sheet=""):
        super().reset_style_sheet(widget, original_style_sheet)
        self.restores += 1


def shown(widget):
    widget.show()
    return widget


# The highlight joins the widget's last rule block, or follows its plain declarations; a group
# box is highlighted by its name, so the highlight does not cascade to what it holds.
@pytest.mark.parametrize("make, sheet, dark, expected", [
    (QLabel, "", False, BLUE),
    (QLabel, "color: red;", False, "color: red;" + BLUE),
    (QLabel, "QLabel { color: red; }", False, "QLabel { color: red;  " + BLUE + " }"),
    (QLineEdit, "QLineEdit { color: red; } QLineEdit:focus { margin: 1px; }", True,
     "QLineEdit { color: red; } QLineEdit:focus { margin: 1px;  " + ORANGE + " }"),
    (QGroupBox, "", False, "QGroupBox#box1{" + BLUE + "}"),
    (QGroupBox, "margin: 1px;", False, "margin: 1px;QGroupBox#box1{" + BLUE + "}"),
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
], ids=["hidden", "deleted", "deleted-by-qt"])
def test_restore_spares_hidden_and_deleted_widgets(qtbot, logged, page, make, spoil):
    widget = make(page)
    animator = RecordingAnimator()
    animator.highlight_widget(widget, 0)
    spoil(widget)
    qtbot.waitUntil(lambda: animator.restores == 1)
    assert logged() == []
    assert sip.isdeleted(widget) or widget.styleSheet() == BLUE


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


class Broken(QLabel):
    def setStyleSheet(self, sheet):
        raise ValueError("no style")


class Raising:
    def __getattr__(self, name):
        raise KeyError(name)


def broken(dialog, part):
    setattr(dialog, part, Raising())
    return dialog


ANIMATOR, DIALOG = ("DEBUG", "Could not change stylesheet"), "Could not highlight widget"


# Nothing reaches the caller: the animator logs at debug level, the dialog logs errors.
@pytest.mark.parametrize("call, level, message, error", [
    (lambda d, w: WidgetAnimator().set_animation_to_widget(object(), "color: red;"), *ANIMATOR,
     AttributeError),
    (lambda d, w: WidgetAnimator().highlight_widget(Broken(d)), *ANIMATOR, ValueError),
    (lambda d, w: WidgetAnimator().reset_style_sheet(shown(Broken(d.parent)), "x"), *ANIMATOR, ValueError),
    (lambda d, w: broken(d, "widget_animator").highlight_widget(w), "ERROR", f"{DIALOG} okButton", KeyError),
    (lambda d, w: broken(d, "widget_animator").highlight_widget(None), "ERROR", f"{DIALOG} ?", KeyError),
    (lambda d, w: broken(d, "widget_animator").highlight_widget(sip.delete(w) or w), "ERROR",
     f"{DIALOG} ?", KeyError),
    (lambda d, w: broken(d, "app_state").fix_dark_mode(QComboBox(d)), "ERROR",
     "Could not change stylesheet for dark mode", KeyError),
])
def test_failures_are_logged_not_raised(logged, dialog, call, level, message, error):
    widget = QLabel(dialog)
    widget.setObjectName("okButton")
    assert call(dialog, widget) is None
    assert logged() == [(level, message, error)]


# A failing step (a family that is no text) leaves the font as it was and warns.
@pytest.mark.parametrize("helper", [FontHelper, VLMDialog])
@pytest.mark.parametrize("kwargs, check", [
    ({"increment_size": 2}, lambda f: f.pointSize() == 11),
    ({"increment_size": 2, "decrement_size": 1}, lambda f: f.pointSize() == 10),
    ({"weight": QFont.Weight.Light, "is_bold": True}, lambda f: f.bold()),
    ({"weight": QFont.Weight.Light}, lambda f: f.weight() == QFont.Weight.Light),
    ({"is_bold": False}, lambda f: f.weight() == QFont.Weight.Normal),
    ({"is_italic": True, "family": "Courier New"},
     lambda f: f.italic() and f.family() == "Courier New"),
    ({}, lambda f: f == QFont("Sans", 9, QFont.Weight.DemiBold)),
    ({"increment_size": 1, "family": 12}, lambda f: f == QFont("Sans", 9, QFont.Weight.DemiBold)),
])
def test_change_font_size(page, logged, helper, kwargs, check):
    label = QLabel(page)
    label.setFont(QFont("Sans", 9, QFont.Weight.DemiBold))
    assert helper.change_font_size(label, **kwargs) is None
    assert check(label.font())
    failed = kwargs.get("family") == 12
    assert logged() == [("WARNING", "Could not change font", TypeError)] * failed


@pytest.mark.parametrize("title, expected", [(None, "Pick values"), ("", "Pick values"),
                                             ("Columns", "Columns")])
def test_pick_values_dialog_ticks_in_row_order(qtbot, page, title, expected):
    dialog = PickAnyValueDialog(page, text_list=["b", "a", "b", "c"], title=title)
    qtbot.addWidget(dialog)
    dialog.show()
    assert dialog.windowTitle() == expected and dialog.parent is page
    widget = dialog.ui.listWidget
    items = [widget.item(i) for i in range(widget.count())]
    assert [item.text() for item in items] == ["b", "a", "b", "c"]
    assert {item.flags() for item in items} == {
        Qt.ItemFlag.ItemIsSelectable | Qt.ItemFlag.ItemIsUserCheckable | Qt.ItemFlag.ItemIsEnabled}
    for row in (3, 0, 1):
        rect = widget.visualItemRect(widget.item(row))
        # The check box sits at the item's left edge.
        qtbot.mouseClick(widget.viewport(), Qt.MouseButton.LeftButton,
                         pos=QPoint(rect.left() + 10, rect.center().y()))
    widget.item(1).setCheckState(Qt.CheckState.PartiallyChecked)
    assert dialog.get_selected_items() == ["b", "c"]


def test_the_form_is_imported_when_a_dialog_is_built(qtbot, monkeypatch, page):
    class Form:
        def setupUi(self, dialog):
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

# VLMStatusBar and its floating label: where a message shows, and when it goes.
import datetime as real_datetime
from types import SimpleNamespace

import pytest
from PyQt6 import sip
from PyQt6.QtCore import Qt
from PyQt6.QtGui import QColor, QPalette
from PyQt6.QtWidgets import QMainWindow, QWidget

import shared_ui
from shared_ui import VLMStatusBar

T0 = real_datetime.datetime(2026, 1, 1, 12, 0, 0)


def ms(msecs):
    return real_datetime.timedelta(milliseconds=msecs)


@pytest.fixture
def clock(monkeypatch):
    """Stands in for datetime.datetime in the module, so deadlines are exact."""
    fake = SimpleNamespace(time=T0, now=lambda: fake.time)
    monkeypatch.setattr(shared_ui, "datetime", fake)
    return fake


@pytest.fixture
def bar(qtbot):
    window = QMainWindow()
    window.resize(1000, 700)
    bar = VLMStatusBar(window)
    window.setStatusBar(bar)
    qtbot.addWidget(window)
    window.show()
    bar.setVisible(False)
    yield bar  # while `window` keeps the bar alive


# 28 pixels in from the window's right edge and 5 up from its bottom, in the bar's own colour.
@pytest.mark.parametrize("size, geometry", [((1000, 700), (922, 674, 50, 21)),
                                            ((640, 480), (562, 454, 50, 21))])
def test_floating_label_geometry_colour_and_click(qtbot, bar, size, geometry):
    window = bar.window()
    window.resize(*size)
    bar.floating_status_font_metrics = SimpleNamespace(horizontalAdvance=lambda text: 40,
                                                       height=lambda: 16)
    palette = bar.palette()
    palette.setColor(QPalette.ColorRole.Window, QColor(12, 34, 56))
    bar.setPalette(palette)
    bar.showMessage2("Saved", 200)
    label = bar.floating_status_label
    assert label.parent() is window and label.geometry().getRect() == geometry
    assert label.alignment() == Qt.AlignmentFlag.AlignRight | Qt.AlignmentFlag.AlignBottom
    assert bar.status_label.alignment() == Qt.AlignmentFlag.AlignRight
    assert label.styleSheet() == "background-color: rgb(12, 34, 56)"
    assert label.isVisible() and label.text() == "Saved"
    assert not bar.isVisible() and bar.hide_status_bar_timer.isActive()
    # A message in the bar leaves the floating one where it is.
    bar.showMessage2(message="in bar", msecs=200, use_floating_label=False)
    assert bar.status_label.text() == "in bar" and bar.isVisible()
    assert label.text() == "Saved" and label.isVisible()
    # A click hides it but keeps its text.
    qtbot.mouseClick(label, Qt.MouseButton.LeftButton)
    assert not label.isVisible() and bar.has_messages() and label.text() == "Saved"


@pytest.mark.parametrize("break_it", [lambda bar: bar.setParent(None),
                                      lambda bar: setattr(bar, "floating_status_font_metrics", None)],
                         ids=["no-parent", "metrics"])
def test_floating_failure_falls_back_to_the_bar(bar, logged, break_it):
    break_it(bar)
    bar.showMessage2("hello", 200)
    assert bar.status_label.text() == "hello" and not bar.isHidden()
    assert bar.floating_status_label.text() == "" and not bar.floating_status_label.isVisible()
    assert bar.hide_status_bar_timer.isActive()
    assert logged() == [("WARNING", "Could not display floating status label", AttributeError)]


def test_later_message_moves_the_deadline_and_the_timer_keeps_its_interval(bar, clock):
    bar.showMessage("first", 5000)
    clock.time += ms(1000)
    bar.showMessage("second", 1000)
    assert bar.time_to_hide == T0 + ms(2000)
    assert bar.hide_status_bar_timer.interval() == 5000
    clock.time += ms(999)
    bar._on_status_bar_timer()
    assert bar.has_messages() and bar.isVisible()
    clock.time += ms(1)
    bar._on_status_bar_timer("ignored", key="ignored")
    assert not bar.has_messages() and not bar.isVisible()
    assert not bar.hide_status_bar_timer.isActive()
    assert bar.time_to_hide == T0 + ms(2000)


def test_hiding_happens_at_the_first_poll_after_the_deadline(qtbot, bar, clock):
    bar.showMessage2("floating", 20)
    polls = []
    bar.hide_status_bar_timer.timeout.connect(lambda: polls.append(clock.now()))
    qtbot.waitUntil(lambda: len(polls) >= 3)
    assert bar.floating_status_label.isVisible() and bar.hide_status_bar_timer.isActive()
    clock.time += ms(20)
    qtbot.waitUntil(lambda: not bar.floating_status_label.isVisible())
    assert not bar.has_messages() and not bar.hide_status_bar_timer.isActive()


# An empty message shows no bar (a floating one still shows its empty, 10 pixel wide label);
# without the host's state a message stays; a time that is no number clears it, silently.
@pytest.mark.parametrize("show, stays, floating", [
    (lambda bar: bar.showMessage("", 500), False, False),
    (lambda bar: bar.showMessage2("", 500, False), False, False),
    (lambda bar: bar.showMessage2(None, 500), False, True),
    (lambda bar: setattr(bar, "app_state", None) or bar.showMessage2("text", 10, False), True, False),
    (lambda bar: bar.showMessage2("text", "soon", use_floating_label=False), False, False),
], ids=["empty", "empty-in-bar", "empty-floating", "no-app-state", "no-time"])
def test_messages_without_a_deadline(bar, logged, show, stays, floating):
    show(bar)
    assert bar.time_to_hide is None and not bar.hide_status_bar_timer.isActive()
    assert bar.currentMessage() == "" and logged() == []
    assert (bar.has_messages(), bar.isVisible(), bar.status_label.text()) == (stays, stays, stays * "text")
    label = bar.floating_status_label
    assert not floating or (label.isVisible() and label.width() == 10)


@pytest.mark.parametrize("where, put", [
    ("bar", lambda bar: super(VLMStatusBar, bar).showMessage("text")),
    ("status_label", lambda bar: bar.status_label.setText("text")),
    ("floating", lambda bar: bar.floating_status_label.setText("text")),
    (None, lambda bar: None),
], ids=["bar", "status-label", "floating", "none"])
def test_has_messages_looks_in_all_three_places(bar, where, put):
    put(bar)
    assert bar.has_messages() is (where is not None)
    bar.clearMessage()
    assert bar.has_messages() is (where == "floating")
    bar.clear_messages_and_hide()
    assert bar.has_messages() is False


@pytest.mark.parametrize("moved", [False, True])
def test_deleted_widgets_under_a_pending_deadline_stop_the_timer(qtbot, clock, moved):
    window = QMainWindow()
    # A moved bar's floating label stays with its first parent, which is deleted here.
    doomed = QWidget(window) if moved else window
    bar = VLMStatusBar(doomed)
    window.setStatusBar(bar)
    bar.showMessage2("going", 10, use_floating_label=False)
    timer = bar.hide_status_bar_timer
    sip.delete(doomed)
    clock.time += ms(50)
    bar._on_status_bar_timer()
    assert not timer.isActive()
    assert sip.isdeleted(bar) or not (bar.isVisible() or bar.status_label.text())


def test_timer_slot_failures_reach_a_direct_caller(bar, clock):
    def fail():
        raise RuntimeError("not a deleted widget")

    bar.showMessage("going", 10)
    bar.clear_messages_and_hide = fail
    clock.time += ms(50)
    with pytest.raises(RuntimeError, match="not a deleted widget"):
        bar._on_status_bar_timer()
    # Its real 10 ms tick would meet fail() in the event loop once the test is over, on a slow run.
    bar.hide_status_bar_timer.stop()

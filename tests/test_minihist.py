# MiniHist and its chart view: how they are built, what the two statistics updates show, and the
# tool tip and click of the bar under the pointer.
import pytest
from PyQt6 import sip
from PyQt6.QtCharts import QBarSeries, QChart, QHorizontalBarSeries
from PyQt6.QtCore import QEvent, QPointF, QSize, Qt
from PyQt6.QtGui import QColor, QFont, QMouseEvent
from PyQt6.QtWidgets import QApplication, QSizePolicy, QToolTip, QVBoxLayout, QWidget

import shared_ui
from shared_ui import MiniHist, MiniHistChartView, MiniHistViewMode
from velmora.shared import AppDef
from velmoracore.util import NumberFormatUtil

COLUMN, SAMPLING = MiniHistViewMode.COLUMN_STAT, MiniHistViewMode.WS_SAMPLING_STAT
EXPANDING, FIXED = QSizePolicy.Policy.Expanding, QSizePolicy.Policy.Fixed
SLOTS = [(f"{side}{n}Label", f"{side}{n}ValueLabel") for side in ("left", "right") for n in (1, 2, 3)]
F = NumberFormatUtil().format_number
SHORT = NumberFormatUtil(use_less_space=True).format_number
B = " "  # the caption of a pair shown without one
R = NumberFormatUtil.rows_to_text


@pytest.fixture
def clicks():
    """(handler arguments, bar position) per click."""
    return []


@pytest.fixture
def strip(qtbot, monkeypatch, clicks):
    # Without the quartiles the chart gets less room: the strip narrows to this width over 1.25,
    # truncated (240).
    monkeypatch.setattr(AppDef, "M_HIST_WITH_LABELS_MAX_WIDTH", 301)
    host = QWidget()
    QVBoxLayout(host).setContentsMargins(0, 0, 0, 0)
    widget = MiniHist(host, on_vlm_click_handler=lambda *args: clicks.append(
        (args, widget.mini_hist_chart_view.current_series_pos)))
    host.layout().addWidget(widget)
    qtbot.addWidget(host)
    host.resize(600, AppDef.M_HIST_MIN_MAX_HEIGHT)
    host.show()
    qtbot.waitExposed(host)
    widget.set_animations_on(False)
    yield widget  # while `host` keeps the strip alive


def slots(strip):
    """(caption, value) per slot as the user sees the pairs; None for a hidden pair."""
    out = []
    for caption, value in SLOTS:
        c, v = getattr(strip, caption), getattr(strip, value)
        assert c.isVisibleTo(strip) == v.isVisibleTo(strip)
        out.append((c.text(), v.text()) if c.isVisibleTo(strip) else None)
    return out


def bars(view):
    (series,) = view.chart().series()
    (bar_set,) = series.barSets()
    return type(series), [bar_set.at(i) for i in range(bar_set.count())]


def send_mouse(view, kind, value_point):
    """A real mouse event where the chart draws `value_point`, delivered as Qt delivers it."""
    chart = view.chart()
    # Unrounded, so that a pointer exactly halfway between two bars can be tested.
    pos = view.viewportTransform().map(chart.mapToScene(chart.mapToPosition(value_point, view.series)))
    button = Qt.MouseButton.LeftButton if kind == QEvent.Type.MouseButtonPress else Qt.MouseButton.NoButton
    event = QMouseEvent(kind, pos, QPointF(view.viewport().mapToGlobal(pos)), button, button,
                        Qt.KeyboardModifier.NoModifier)
    QApplication.sendEvent(view.viewport(), event)


def hover(view, x, y=0.0):
    send_mouse(view, QEvent.Type.MouseMove, QPointF(x, y))
    return QToolTip.text() if QToolTip.isVisible() else None


def press(view, x, y=0.0):
    send_mouse(view, QEvent.Type.MouseButtonPress, QPointF(x, y))


# --- chart view -----------------------------------------------------------------------------

# The background is chosen once, from the host's dark mode at construction.
@pytest.mark.parametrize("dark, app_state, background", [
    (True, "host", "#00000000"), (False, "host", "#ffffffff"), (True, None, "#ffffffff"),
], ids=["dark", "light", "no-app-state"])
def test_new_view_and_its_updates(qtbot, dark_mode, monkeypatch, dark, app_state, background):
    dark_mode(dark)
    if app_state is None:
        monkeypatch.setattr(shared_ui, "app_state_glbl", None)
    parent = QWidget()
    qtbot.addWidget(parent)
    chart = QChart()
    view = MiniHistChartView(chart=chart, parent=parent, on_vlm_click_handler=None)
    dark_mode(not dark)
    assert (view.view_mode, view.bin_edges, view.hist_values, view.hist_val_total_count, view.std_val,
            view.current_series_pos, view.processing_mouse_move, view.default_description,
            view.on_vlm_click_handler, view.toolTipDuration()) == (
        SAMPLING, [-1], [-1], -1, -1.0, 0, False, None, None, AppDef.M_HIST_TOOL_TIP_DURATION)
    assert (chart.minimumSize().toSize(), chart.maximumSize().toSize()) == (
        QSize(AppDef.M_HIST_MIN_WIDTH, AppDef.M_HIST_MIN_MAX_HEIGHT),
        QSize(AppDef.M_HIST_MAX_WIDTH, AppDef.M_HIST_MIN_MAX_HEIGHT))
    policy = chart.sizePolicy()
    assert (policy.horizontalPolicy(), policy.verticalPolicy()) == (EXPANDING, FIXED)
    assert chart.animationOptions() == QChart.AnimationOption.AllAnimations
    assert not chart.legend().isVisible()
    assert chart.margins().isNull() and chart.layout().getContentsMargins() == (0, 0, 0, 0)
    assert chart.series() == [view.series] and type(view.series) is QBarSeries
    assert view.series.barSets() == [view.bar_set] and view.bar_set.label() == "VLMBarSet"
    brush = chart.backgroundBrush().color().name(QColor.NameFormat.HexArgb)
    assert (chart.isBackgroundVisible(), brush) == (background != "#00000000", background)
    # Each update replaces the one series (four bars or more stand, fewer lie) and reads the
    # host's sizes again.
    view.update_chart(hist_values=[9] * 4, bin_edges=[0], hist_val_total_count=1, view_mode=SAMPLING,
                      default_description="old")
    monkeypatch.setattr(AppDef, "M_HIST_MAX_WIDTH", 222)
    view.update_chart((5.5, 0, 2), [0, 1], 10, view_mode=COLUMN)
    assert bars(view) == (QHorizontalBarSeries, [5.5, 0.0, 2.0])
    assert chart.maximumSize().toSize().width() == 222 and view.series.barSets() == [view.bar_set]
    assert (view.hist_values, view.view_mode, view.default_description) == ((5.5, 0, 2), COLUMN, None)


# --- strip ----------------------------------------------------------------------------------

def test_new_strip_layout(qtbot):
    strip = MiniHist(None)
    qtbot.addWidget(strip)
    layout = strip.horizontalLayout
    assert layout.objectName() == "horizontalLayout" and layout.getContentsMargins() == (0, 0, 0, 0)
    assert [layout.itemAt(i).layout() or layout.itemAt(i).widget() for i in range(layout.count())] == [
        strip.gridLayoutLeft, strip.mini_hist_chart_view, strip.gridLayoutRight]
    for slot, names in enumerate(SLOTS):
        grid = strip.gridLayoutLeft if slot < 3 else strip.gridLayoutRight
        assert grid.sizeConstraint() == grid.SizeConstraint.SetFixedSize
        for column, name in enumerate(names):
            label = getattr(strip, name)
            assert label.objectName() == name and label.font().pointSize() == QFont().pointSize() - 2
            assert label.sizePolicy().horizontalPolicy() == FIXED
            index = grid.indexOf(label)
            assert grid.getItemPosition(index) == (slot % 3, column, 1, 1)
            right = column == 1 and slot < 3
            assert grid.itemAt(index).alignment() == Qt.AlignmentFlag(right and Qt.AlignmentFlag.AlignRight)
    # The view's own sizes count before Qt first resizes it to its chart's.
    view = strip.mini_hist_chart_view
    assert (view.minimumSize(), view.maximumSize()) == (
        QSize(AppDef.M_HIST_MIN_WIDTH, AppDef.M_HIST_MIN_MAX_HEIGHT),
        QSize(AppDef.M_HIST_MAX_WIDTH, AppDef.M_HIST_MIN_MAX_HEIGHT))
    assert view.sizePolicy().horizontalPolicy() == EXPANDING
    assert view.renderHints() & view.renderHints().Antialiasing


EDGES = [float(e) for e in range(0, 110, 10)]


@pytest.mark.parametrize("avg, avg_slot", [(1.0, 1), (25.0, 2), (50.0, 3), (74.9, 3), (75.0, 4)])
def test_column_stats_place_avg_among_the_quartiles(strip, avg, avg_slot):
    assert not strip.isVisible() and QWidget.isVisible(strip) and strip.view_mode is SAMPLING
    strip.update_column_stats([1, 2, 3, 4, 5, 6, 7, 8, 9, 10], EDGES, 55, 0, 25.0, 50.0, 75.0, 100, avg)
    shown = [("Min", "0"), ("25%", SHORT(25.0)), ("50%", SHORT(50.0)), ("75%", SHORT(75.0)), ("Max", "100")]
    assert slots(strip) == shown[:avg_slot] + [("Avg", SHORT(avg))] + shown[avg_slot:]
    assert strip.isVisible() and strip.view_mode is COLUMN


# Values only at both ends keep the two end buckets; all in the sixth bucket, only that one.
@pytest.mark.parametrize("counts, total, edges, boolean, chart, chart_edges, shown", [
    ([3, 0, 0, 0, 0, 0, 0, 0, 0, 7], 10, EDGES, False, [3, 7], [0.0, 10.0, 100.0],
     [(B, SHORT(100.0)), None, (B, SHORT(0.0)), (B, ""), ("Avg", SHORT(4.5)), (B, "")]),
    ([3, 0, 0, 0, 0, 0, 0, 0, 0, 7], 10, EDGES, True, [3, 7], [0.0, 10.0, 100.0],
     [(B, "True"), None, (B, "False"), (B, ""), ("Avg", SHORT(4.5)), (B, "")]),
    ([0] * 10, 0, EDGES, False, [0, 0], [0.0, 10.0, 100.0],
     [(B, SHORT(100.0)), None, (B, SHORT(0.0)), (B, ""), ("Avg", SHORT(4.5)), (B, "")]),
    ([0, 0, 0, 0, 0, 10, 0, 0, 0, 0], 10, EDGES, False, [10], [50.0, 60.0],
     [(B, ""), (B, SHORT(50.0)), (B, ""), None, None, None]),
    # a boolean's single bucket is True when its lower edge is above one half
    ([0, 0, 0, 0, 0, 4, 0], 4, [9] * 5 + [0.5, 1.0], True, [4], [0.5, 1.0],
     [(B, ""), (B, "False"), (B, ""), None, None, None]),
    ([0, 0, 0, 0, 0, 4, 0], 4, [9] * 5 + [0.6, 1.0], True, [4], [0.6, 1.0],
     [(B, ""), (B, "True"), (B, ""), None, None, None]),
    # five buckets have no sixth to look at
    ([0, 0, 10, 0, 0], 10, EDGES[:6], False, [0, 0, 10, 0, 0], EDGES[:6],
     [("Min", SHORT(0.0)), ("25%", SHORT(1.0)), ("50%", SHORT(2.0)), ("75%", SHORT(3.0)),
      ("Avg", SHORT(4.5)), ("Max", SHORT(100.0))]),
], ids=["ends", "ends-boolean", "empty", "middle", "middle-false", "middle-true", "five-buckets"])
def test_column_stats_reduce_end_and_middle_histograms(strip, counts, total, edges, boolean, chart,
                                                        chart_edges, shown):
    strip.update_column_stats(counts, edges, total, 0.0, 1.0, 2.0, 3.0, 100.0, 4.5,
                              is_boolean_field=boolean)
    view = strip.mini_hist_chart_view
    assert bars(view) == (QBarSeries if len(chart) > 3 else QHorizontalBarSeries, chart)
    assert (view.hist_values, view.bin_edges, view.hist_val_total_count) == (chart, chart_edges, total)
    assert slots(strip) == shown
    assert strip.maximumSize() == QSize(301 if shown[0][0] == "Min" else 240, AppDef.M_HIST_MIN_MAX_HEIGHT)


# A failed update leaves the labels and the width as they were; the chart may have changed by
# then. A sampling update formats every count before it changes anything.
@pytest.mark.parametrize("update, error, series_after, animated", [
    (lambda s: s.update_column_stats([], [], 6, 0, 1, 2, 3, 4, 5), IndexError, "old", True),
    (lambda s: s.update_column_stats([4, 4, 4, 4], [0, 1, 2, 3, 4], 6, 0, 1, 2, 3, 4, None),
     TypeError, (QBarSeries, [4, 4, 4, 4]), True),
    (lambda s: s.update_column_stats([1, None, 3], [0, 1, 2, 3], 6, 0, 1, 2, 3, 4, 5), TypeError,
     "none", True),
    # A value that "%s" cannot format (a tuple is taken for its arguments), its own error.
    (lambda s: s.update_column_stats([1, 2, 3], [0, 1, 2, 3], 6, (0, 1), 1, 2, 3, 4, 5), TypeError,
     (QHorizontalBarSeries, [1, 2, 3]), True),
    (lambda s: s.update_ws_sampling_stats(3, 2, "many"), TypeError, "old", False),
], ids=["before-the-chart", "after-the-chart", "filling-the-chart", "labelling", "sampling"])
def test_failed_updates_leave_the_labels_and_the_width(strip, update, error, series_after, animated):
    strip.update_column_stats([1, 2, 3], [0, 1, 2, 3], 6, 0, 1, 2, 3, 4, 5)
    strip.set_animations_on(False)
    strip.setMaximumSize(999, 99)
    view, before, old = strip.mini_hist_chart_view, slots(strip), strip.mini_hist_chart_view.series
    with pytest.raises(error):
        update(strip)
    assert slots(strip) == before and strip.maximumWidth() == 999
    assert (view.chart().animationOptions() == QChart.AnimationOption.AllAnimations) is animated
    if series_after == "old":
        assert view.series is old
    elif series_after == "none":
        assert view.chart().series() == [] and view.hist_values == [1, None, 3]
    else:
        assert bars(view) == series_after


# The viewed rows are the top bar and the top pair on the left; a count of None is left out.
@pytest.mark.parametrize("args, chart, left, description", [
    ((1000, None, 50), [1000, 50], [("Viewing", R(50)), None, ("Total rows", R(1000, True))],
     [f"Viewing {R(50)} rows", f"Total estimated rows are {R(1000, True)}"]),
    ((12345, 2000, 100, False), [12345, 2000, 100],
     [("Viewing", R(100)), ("At worker", R(2000)), ("Total rows", R(12345))],
     [f"Viewing {R(100)} rows", f"Backend worker has {R(2000)} rows",
      f"Total estimated rows are {R(12345)}"]),
    ((7, 0, None, None), [7, 0], [None, ("At worker", "0"), ("Total rows", R(7, True))],
     ["Backend worker has 0 rows", f"Total estimated rows are {R(7, True)}"]),
    ((None, None, None), [], [None, None, None], []),
])
def test_sampling_stats(strip, monkeypatch, args, chart, left, description):
    # After column statistics that show all six pairs: the sampling ones hide what they leave out.
    strip.update_column_stats([1, 2, 3, 4, 5], [0, 1, 2, 3, 4, 5], 15, 0, 1, 2, 3, 4, 5)
    strip.set_animations_on(False)
    real = NumberFormatUtil.rows_to_text  # a host need not format unknown counts
    monkeypatch.setattr(NumberFormatUtil, "rows_to_text", staticmethod(
        lambda rows, **kw: pytest.fail("formatted None") if rows is None else real(rows, **kw)))
    strip.update_ws_sampling_stats(*args)
    view = strip.mini_hist_chart_view
    assert bars(view) == (QHorizontalBarSeries, chart)
    assert (view.view_mode, view.bin_edges, view.hist_val_total_count) == (SAMPLING, [-1], -1)
    assert view.default_description == "\n".join(description)
    assert slots(strip) == left + [None] * 3
    assert strip.isVisible() and strip.view_mode is SAMPLING and strip.maximumWidth() == 240
    assert view.chart().animationOptions() == QChart.AnimationOption.NoAnimation


# --- hover and click ------------------------------------------------------------------------

def ranged(low, high, count, percent, last=False):
    return (f"<b>&ge;{F(low)}</b> to <b>{'&le;' if last else '&lt;'}{F(high)}</b> <br>"
            f"<b>{F(count)}</b> samples, <b>{percent}%</b> ")


# Vertical bars are found along x, horizontal ones along y; half-way between two bars the even
# one wins. Outside the bars the tool tip goes, and the chart keeps the one it had.
@pytest.mark.parametrize("counts, total, x, y, index, text", [
    ([5, 10, 3, 2], 20, 1.2, 0, 1, ranged(10, 20, 10, "50")),
    ([5, 10, 3, 2], 20, -0.4, 0, 0, ranged(0, 10, 5, "25")),
    ([5, 10, 3, 2], 20, 0.5, 0, 0, ranged(0, 10, 5, "25")),
    ([5, 10, 3, 2], 20, 1.5, 0, 2, ranged(20, 30, 3, "15")),
    ([5, 10, 3, 2], 20, 3.0, 0, 3, ranged(30, 40, 2, "10", last=True)),
    ([5, 10, 3, 2], 20, -0.6, 0, -1, None),
    ([5, 10, 3, 2], 20, 4.6, 0, 5, None),
    ([3, 1], 4, 0, 0, 0, f"<b>{F(0.0)}</b> has <b>3</b> samples <b>75%</b>"),
    ([3, 1], 4, 0, 1, 1, f"<b>{F(1.0)}</b> has <b>1</b> samples <b>25%</b>"),
    ([3, 1], 0, 0, 1, 1, f"<b>{F(1.0)}</b> has <b>1</b> samples <b>50%</b>"),
    ([1, 1, 1], 3, 0, 2, 2, ranged(2, 3, 1, "33.3", last=True)),
    ([2, 1, 0], 3, 0, 0, 0, ranged(0, 1, 2, "66.7")),
    ([2, 1, 0], -5, 0, 0, 0, ranged(0, 1, 2, "50")),
])
def test_hover_explains_the_bar_under_the_pointer(qtbot, strip, clicks, counts, total, x, y, index,
                                                   text):
    view = strip.mini_hist_chart_view
    edges = {2: [0.0, 0.5, 1.0], 3: [0, 1, 2, 3], 4: [0, 10, 20, 30, 40]}[len(counts)]
    view.update_chart(counts, edges, total, view_mode=COLUMN)
    strip.set_animations_on(False)
    first = hover(view, 1, 1)
    hover(view, x, y)
    qtbot.waitUntil(lambda: QToolTip.isVisible() == (text is not None), timeout=2000)
    assert QToolTip.text() == text or text is None
    assert view.current_series_pos == index
    assert first and (view.toolTip(), view.chart().toolTip()) == (text or "", text or first)
    press(view, x, y)
    assert clicks == [((), index)]


def test_sampling_hover_shows_the_description_and_press_does_nothing(strip, clicks):
    strip.update_ws_sampling_stats(100, 10, 1)
    view = strip.mini_hist_chart_view
    hover(view, 0, 1)
    assert view.toolTip() == view.chart().toolTip() == view.default_description
    press(view, 0, 2)
    assert clicks == [] and view.current_series_pos == 0
    view.update_chart([1], [-1], -1, view_mode=SAMPLING)
    hover(view, 0, 0)
    assert view.mouseMoveEvent(None, 1, extra=2) is None
    assert view.toolTip() == view.chart().toolTip() != ""


# A failing hover is logged; a failing click handler's error reaches Qt; no handler, no click.
def test_hover_and_press_failures(qtbot, strip, logged):
    strip.update_column_stats([5, 10, 3, 2], [0, 10, 20, 30, 40], 20, 0, 8, 15, 25, 40, 17)
    strip.set_animations_on(False)
    view = strip.mini_hist_chart_view
    view.bin_edges = [0, 10]
    hover(view, 2)
    assert logged() == [("ERROR", "Could not handle mouse move event for mini histogram", IndexError)]
    assert view.current_series_pos == 2

    def failing():
        raise RuntimeError("host click failed")

    view.on_vlm_click_handler = failing
    with qtbot.capture_exceptions() as errors:
        press(view, 1)
    assert [type(e[1]) for e in errors] == [RuntimeError]
    view.on_vlm_click_handler = None
    view.current_series_pos = 7
    press(view, 1)
    assert view.current_series_pos == 7
    assert view.mousePressEvent(None, 1, extra=2) is None


@pytest.mark.parametrize("victim", ["chart", "view"])
def test_deleted_chart_or_view_raises_instead_of_crashing(strip, victim):
    view = strip.mini_hist_chart_view
    sip.delete(view.chart() if victim == "chart" else view)
    for call in (lambda: strip.update_column_stats([1, 2, 3], [0, 1, 2, 3], 6, 0, 1, 2, 3, 4, 5),
                 lambda: strip.update_ws_sampling_stats(1, 2, 3), lambda: strip.set_animations_on(True)):
        with pytest.raises(RuntimeError, match="has been deleted"):
            call()

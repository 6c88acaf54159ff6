"""Column-statistics strips, light and dark, as the host fills them."""
from pathlib import Path

from PyQt6.QtCharts import QBarSeries
from PyQt6.QtCore import QEvent, QPoint, QPointF, Qt
from PyQt6.QtGui import QColor, QHelpEvent, QMouseEvent, QPainter, QPalette
from PyQt6.QtTest import QTest
from PyQt6.QtWidgets import QApplication, QGridLayout, QLabel, QToolTip, QWidget

import shared_ui
from velmora.app_state import app_state_glbl

TITLE = "Statistics"

EDGES = [float(e) for e in range(0, 110, 10)]

# (what the row shows, how the host fills a strip)
EXAMPLES = [
    ("Spread numeric column", lambda s: s.update_column_stats(
        [4, 9, 15, 22, 30, 26, 18, 11, 6, 2], EDGES, 143, 0.0, 31.5, 47.2, 61.0, 100.0, 46.3)),
    ("Values at both ends", lambda s: s.update_column_stats(
        [12, 0, 0, 0, 0, 0, 0, 0, 0, 30], EDGES, 42, 0.0, 0.0, 100.0, 100.0, 100.0, 71.4)),
    ("Single bucket", lambda s: s.update_column_stats(
        [0, 0, 0, 0, 0, 57, 0, 0, 0, 0], EDGES, 57, 52.0, 53.0, 54.0, 55.0, 58.0, 54.2)),
    # A constant column's histogram spans the value +/- 0.5, so its values sit in bucket 5.
    ("Boolean, all True", lambda s: s.update_column_stats(
        [0, 0, 0, 0, 0, 8, 0, 0, 0, 0], [0.5 + i / 10 for i in range(11)], 8, 1, 1, 1, 1, 1,
        1.0, True)),
    ("Boolean, all False", lambda s: s.update_column_stats(
        [0, 0, 0, 0, 0, 8, 0, 0, 0, 0], [-0.5 + i / 10 for i in range(11)], 8, 0, 0, 0, 0, 0,
        0.0, True)),
    ("Boolean, both", lambda s: s.update_column_stats(
        [5, 0, 0, 0, 0, 0, 0, 0, 0, 15], [i / 10 for i in range(11)], 20, 0, 0, 1, 1, 1, 0.75,
        True)),
    ("Sampling: total only", lambda s: s.update_ws_sampling_stats(2_400_000, None, None)),
    ("Sampling: total and viewed", lambda s: s.update_ws_sampling_stats(2_400_000, None, 5000)),
    ("Sampling: all three", lambda s: s.update_ws_sampling_stats(
        2_400_000, 250_000, 5000, total_rows_is_estimated=False)),
]


def _dark_panel(parent):
    panel = QWidget(parent)
    panel.setAutoFillBackground(True)
    palette = panel.palette()
    palette.setColor(QPalette.ColorRole.Window, QColor(45, 45, 48))
    palette.setColor(QPalette.ColorRole.WindowText, QColor(230, 230, 230))
    panel.setPalette(palette)
    return panel


def _strip(parent, dark, fill):
    # The chart reads the host's mode once, when it is built.
    before = app_state_glbl.is_dark_mode
    app_state_glbl.is_dark_mode = dark
    try:
        holder = _dark_panel(parent) if dark else QWidget(parent)
        grid = QGridLayout(holder)
        grid.setContentsMargins(4, 2, 4, 2)
        strip = shared_ui.MiniHist(holder, on_vlm_click_handler=None)
        grid.addWidget(strip, 0, 0)
    finally:
        app_state_glbl.is_dark_mode = before
    fill(strip)
    strip.set_animations_on(False)
    return holder, strip


class StatisticsPage(QWidget):
    """This page, with the strips its screenshots hover over."""

    strips: list[shared_ui.MiniHist]


def build() -> QWidget:
    page = StatisticsPage()
    grid = QGridLayout(page)
    grid.addWidget(QLabel("<b>Column</b>"), 0, 0)
    grid.addWidget(QLabel("<b>Light</b>"), 0, 1)
    grid.addWidget(QLabel("<b>Dark</b>"), 0, 2)
    page.strips = []
    for row, (caption, fill) in enumerate(EXAMPLES, start=1):
        grid.addWidget(QLabel(caption), row, 0)
        for column, dark in ((1, False), (2, True)):
            holder, strip = _strip(page, dark, fill)
            grid.addWidget(holder, row, column)
            page.strips.append(strip)
    grid.setRowStretch(len(EXAMPLES) + 1, 1)
    grid.setColumnStretch(3, 1)
    return page


def _hover(view, bar):
    """Moves a real mouse event over `bar` of the view, as the user would."""
    chart = view.chart()
    vertical = isinstance(view.series, QBarSeries)
    value = QPointF(bar, 0) if vertical else QPointF(0, bar)
    pos = view.viewportTransform().map(chart.mapToScene(chart.mapToPosition(value, view.series)))
    event = QMouseEvent(QEvent.Type.MouseMove, pos, QPointF(view.viewport().mapToGlobal(pos)),
                        Qt.MouseButton.NoButton, Qt.MouseButton.NoButton,
                        Qt.KeyboardModifier.NoModifier)
    QApplication.sendEvent(view.viewport(), event)
    if not QToolTip.isVisible():
        # The sampling summary only sets the tool tip; Qt shows it when the pointer rests.
        QApplication.sendEvent(view.viewport(), QHelpEvent(
            QEvent.Type.ToolTip, pos.toPoint(), view.viewport().mapToGlobal(pos.toPoint())))
    QApplication.processEvents()


def _with_tool_tip(page, path):
    """The page with the visible tool tip painted where it shows on screen."""
    picture = page.window().grab()
    tip = next((w for w in QApplication.topLevelWidgets()
                if w.inherits("QTipLabel") and w.isVisible()), None)
    if tip is not None:
        painter = QPainter(picture)
        corner = tip.mapToGlobal(QPoint(0, 0)) - page.window().mapToGlobal(QPoint(0, 0))
        painter.drawPixmap(corner, tip.grab())
        painter.end()
    picture.save(str(path))
    return path


def screenshots(page, out_dir, prefix):
    out_dir = Path(out_dir)
    written = []
    for name, strip, bar in (("hover_column", page.strips[0], 4),
                             ("hover_two_ends", page.strips[3], 1),
                             ("hover_sampling", page.strips[-2], 1)):
        _hover(strip.mini_hist_chart_view, bar)
        written.append(_with_tool_tip(page, out_dir / f"{prefix}_{name}.png"))
        QToolTip.hideText()
        for _ in range(40):  # the tip fades out on a timer
            if not QToolTip.isVisible():
                break
            # qWait is a static method, which PyQt6's stub declares as an instance method.
            QTest.qWait(25)  # type: ignore[call-arg, arg-type]
    return written

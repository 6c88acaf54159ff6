"""Renders the guide's pictures from the gallery's pages, once in light and once in dark mode.

    python examples/pictures.py [DIR]     writes DIR/<scene>-light.png and DIR/<scene>-dark.png
                                          (default: docs/pictures), always offscreen

Dark mode belongs to the host: it sets `app_state_glbl.is_dark_mode` and gives the application a
dark palette, and each widget of shared_ui reads the flag when it is built. So every scene is
built afresh after the mode is set, cropped to what the guide shows.
"""
import os
import sys
from pathlib import Path

os.environ["QT_QPA_PLATFORM"] = "offscreen"  # the same pictures with or without a display

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "host"))
sys.path.insert(0, str(HERE))

from PyQt6.QtCore import QEvent, QEventLoop, QPoint, QPointF, QRect, Qt, QTimer  # noqa: E402
from PyQt6.QtGui import (QColor, QFontMetrics, QHelpEvent, QMouseEvent, QPainter,  # noqa: E402
                         QPalette, QPixmap)
from PyQt6.QtWidgets import (QApplication, QFormLayout, QGridLayout, QGroupBox,  # noqa: E402
                             QLabel, QLineEdit, QPlainTextEdit, QToolTip, QVBoxLayout, QWidget)
from velmora.app_state import app_state_glbl  # noqa: E402

import shared_ui  # noqa: E402
from pages import code_editing, feedback, minihist, model_access  # noqa: E402

DARK = {
    QPalette.ColorRole.Window: "#2d2d30", QPalette.ColorRole.WindowText: "#e6e6e6",
    QPalette.ColorRole.Base: "#1e1f22", QPalette.ColorRole.AlternateBase: "#28292c",
    QPalette.ColorRole.Text: "#dcdcdc", QPalette.ColorRole.Button: "#3c3f41",
    QPalette.ColorRole.ButtonText: "#e6e6e6", QPalette.ColorRole.Highlight: "#3d6fb4",
    QPalette.ColorRole.HighlightedText: "#ffffff", QPalette.ColorRole.ToolTipBase: "#3c3f41",
    QPalette.ColorRole.ToolTipText: "#e6e6e6", QPalette.ColorRole.PlaceholderText: "#8c8c8c",
    QPalette.ColorRole.Light: "#55585b", QPalette.ColorRole.Midlight: "#46494c",
    QPalette.ColorRole.Mid: "#333538", QPalette.ColorRole.Dark: "#202124",
    QPalette.ColorRole.Shadow: "#101010", QPalette.ColorRole.Link: "#6fa8ff",
}


def set_mode(dark: bool) -> None:
    """What a host does when it switches modes: its flag and its palette."""
    app_state_glbl.is_dark_mode = dark
    app = QApplication.instance()
    palette = app.style().standardPalette()
    if dark:
        for role, colour in DARK.items():
            palette.setColor(role, QColor(colour))
    app.setPalette(palette)
    QToolTip.setPalette(palette)


def settle(widget: QWidget) -> QWidget:
    widget.show()
    for _ in range(3):
        QApplication.processEvents()
    focused = QApplication.focusWidget()
    if focused is not None:  # no blinking text cursor in the pictures
        focused.clearFocus()
        QApplication.processEvents()
    return widget


def grab(widget: QWidget) -> QPixmap:
    return settle(widget).grab()


# --- the mini histogram ---------------------------------------------------------------------

STRIP_ROWS = ["Spread numeric column", "Values at both ends", "Single bucket", "Boolean, both",
              "Sampling: all three"]


def captioned_strips(captions) -> tuple:
    """A panel of captioned strips, filled as the gallery fills them, and the strips."""
    panel = QWidget()
    grid = QGridLayout(panel)
    fills = dict(minihist.EXAMPLES)
    strips = []
    for row, caption in enumerate(captions):
        grid.addWidget(QLabel(caption), row, 0)
        strip = shared_ui.MiniHist(panel, on_vlm_click_handler=None)
        fills[caption](strip)
        strip.set_animations_on(False)
        grid.addWidget(strip, row, 1, Qt.AlignmentFlag.AlignLeft)
        strips.append(strip)
    return panel, strips


def minihist_strips():
    panel, _strips = captioned_strips(STRIP_ROWS)
    return grab(panel)


def hover_bar(view, bar):
    """A real mouse move to the middle of `bar`, as the user makes it."""
    chart = view.chart()
    vertical = isinstance(view.series, shared_ui.QBarSeries)
    half = view.hist_values[bar] / 2
    value = QPointF(bar, half) if vertical else QPointF(half, bar)
    pos = view.viewportTransform().map(chart.mapToScene(chart.mapToPosition(value, view.series)))
    QApplication.sendEvent(view.viewport(), QMouseEvent(
        QEvent.Type.MouseMove, pos, QPointF(view.viewport().mapToGlobal(pos)),
        Qt.MouseButton.NoButton, Qt.MouseButton.NoButton, Qt.KeyboardModifier.NoModifier))
    if not QToolTip.isVisible():
        # The sampling summary only sets the tool tip; Qt shows it when the pointer rests.
        QApplication.sendEvent(view.viewport(), QHelpEvent(
            QEvent.Type.ToolTip, pos.toPoint(), view.viewport().mapToGlobal(pos.toPoint())))
    QApplication.processEvents()


def with_tool_tip(widget):
    """The widget and the tool tip that shows over it, cropped to both."""
    picture = widget.grab()
    tip = next(w for w in QApplication.topLevelWidgets()
               if w.inherits("QTipLabel") and w.isVisible())
    corner = tip.mapToGlobal(QPoint(0, 0)) - widget.mapToGlobal(QPoint(0, 0))
    area = QRect(QPoint(0, 0), picture.size()).united(QRect(corner, tip.size()))
    out = QPixmap(area.size())
    out.fill(widget.palette().color(QPalette.ColorRole.Window))
    painter = QPainter(out)
    painter.drawPixmap(-area.topLeft(), picture)
    painter.drawPixmap(corner - area.topLeft(), tip.grab())
    painter.end()
    QToolTip.hideText()
    return out


def minihist_hover(caption, bar):
    def scene():
        panel, (strip,) = captioned_strips([caption])
        settle(panel)
        hover_bar(strip.mini_hist_chart_view, bar)
        return with_tool_tip(panel)
    return scene


# --- code editing ---------------------------------------------------------------------------

def code_editors():
    panel = QWidget()
    panel.resize(600, 10)
    layout = QVBoxLayout(panel)
    formula = QPlainTextEdit(panel)
    # Nothing else holds this highlighter: without a reference it would be deleted.
    formula_highlighter = shared_ui.VLMHighlighter(formula.document(),
                                                   arr_function_name=["IF", "SUM"])
    for caption, editor, text in [
            ("VLMCodeTextEdit (Python)", shared_ui.VLMCodeTextEdit(panel), code_editing.PYTHON),
            ("VLMHighlighter in a QPlainTextEdit (formulas and filters)", formula,
             code_editing.FORMULA),
            ("VLMSQLTextEdit (SQL)", shared_ui.VLMSQLTextEdit(panel), code_editing.SQL)]:
        text = text.rstrip("\n")
        editor.setPlainText(text)
        editor.setHorizontalScrollBarPolicy(Qt.ScrollBarPolicy.ScrollBarAlwaysOff)
        lines = text.count("\n") + 1
        editor.setFixedHeight(
            QFontMetrics(editor.document().defaultFont()).lineSpacing() * lines + 14)
        layout.addWidget(QLabel(caption, panel))
        layout.addWidget(editor)
    picture = grab(panel)
    del formula_highlighter
    return picture


# --- feedback and dialogs -------------------------------------------------------------------

def status_message(message, floating):
    def scene():
        window = feedback.HostWindow()
        window.centralWidget().setPlainText("\n".join(
            f"{n}. The host's own content, which a floating message covers for a while."
            for n in range(1, 15)))
        window.resize(460, 150)
        settle(window)
        window.bar.clear_messages_and_hide()  # between messages the bar is hidden
        window.bar.showMessage2(message, 60000, use_floating_label=floating)
        picture = grab(window)
        window.bar.clear_messages_and_hide()
        window.close()
        return picture
    return scene


def highlight():
    box = QGroupBox("Group box")
    box.setObjectName("targetBox")
    form = QFormLayout(box)
    label = QLabel("A label, highlighted for 3 s", box)
    form.addRow("Label:", label)
    form.addRow("Line edit:", QLineEdit("The group box's children keep their style", box))
    box.resize(440, 10)
    settle(box)
    animator = shared_ui.WidgetAnimator()
    animator.highlight_widget(label, highlight_for_msec=60000)
    animator.highlight_widget(box, highlight_for_msec=60000)
    return grab(box)


def font_dialog():
    dialog = feedback.FontDemoDialog(None)
    settle(dialog)
    dialog.highlight_widget(dialog.ok_button, highlight_for_msec=60000)
    picture = grab(dialog)
    dialog.close()
    return picture


def pick_values():
    dialog = shared_ui.PickAnyValueDialog(None, ["region", "country", "city", "zip", "street"],
                                          title="Pick columns")
    for row in (0, 2):
        dialog.ui.listWidget.item(row).setCheckState(Qt.CheckState.Checked)
    dialog.resize(260, 210)
    picture = grab(dialog)
    dialog.close()
    return picture


# --- model access -----------------------------------------------------------

def model_access_page():
    model_access.set_up_canned_answers(delay_sec=0.01)
    page = model_access.ModelAccessPage()
    page.timer.stop()
    page.resize(700, 430)
    settle(page)

    def run(click):
        click()
        loop = QEventLoop()
        poll = QTimer(interval=10)
        poll.timeout.connect(lambda: page.running or loop.quit())
        poll.start()
        loop.exec()

    page.version_box.setCurrentIndex(2)
    run(page.config_button.click)
    run(page.services_button.click)
    page.model_box.setCurrentIndex(2)  # the console has no token for this one
    run(page.config_button.click)
    page.model_box.setCurrentIndex(1)
    page.host_error.setChecked(True)
    run(page.config_button.click)
    page.heartbeat.hide()  # a count that changes from run to run
    page.wait_for_loaders()
    return grab(page)



SCENES = {
    "minihist-strips": minihist_strips,
    "minihist-hover-column": minihist_hover("Spread numeric column", 4),
    "minihist-hover-sampling": minihist_hover("Sampling: all three", 1),
    "code-editors": code_editors,
    "status-floating": status_message("Saved 3 files", floating=True),
    "status-in-bar": status_message("Loading model configuration...", floating=False),
    "highlight": highlight,
    "font-dialog": font_dialog,
    "pick-values": pick_values,
    "model-access": model_access_page,
}


def render(out_dir: Path) -> list:
    out_dir.mkdir(parents=True, exist_ok=True)
    written = []
    for dark in (False, True):
        set_mode(dark)
        for name, scene in SCENES.items():
            path = out_dir / f"{name}-{'dark' if dark else 'light'}.png"
            if not scene().save(str(path)):
                raise OSError(f"could not write {path}")
            written.append(path)
    set_mode(False)
    return written


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    out_dir = Path(argv[0]) if argv else HERE.parent / "docs" / "pictures"
    app = QApplication.instance() or QApplication(sys.argv[:1])
    app.setStyle("Fusion")
    for path in render(out_dir):
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""Timed status messages, widget highlighting, the dialog base and the pick-values dialog."""
from pathlib import Path
from typing import Any, Callable

from PyQt6.QtCore import Qt
from PyQt6.QtGui import QFont
from PyQt6.QtWidgets import (QApplication, QComboBox, QFormLayout, QGroupBox, QHBoxLayout, QLabel,
                             QLineEdit, QMainWindow, QPushButton, QTextEdit, QVBoxLayout, QWidget)

import shared_ui

TITLE = "Feedback and dialogs"


class FontDemoDialog(shared_ui.VLMDialog):
    """A host dialog built on the dialog base: its labels show the font helper's options."""

    def __init__(self, parent):
        super().__init__(parent)
        self.setWindowTitle("Fonts")
        layout = QVBoxLayout(self)
        samples: list[tuple[str, dict[str, Any]]] = [
            ("as the dialog sets it", {}),
            ("increment_size=4", {"increment_size": 4}),
            ("increment_size=4, decrement_size=6", {"increment_size": 4, "decrement_size": 6}),
            ("is_bold=True", {"is_bold": True}),
            ("weight=Light, is_italic=True", {"weight": QFont.Weight.Light, "is_italic": True}),
            ("family='Courier New', increment_size=2", {"family": "Courier New",
                                                          "increment_size": 2}),
        ]
        for text, options in samples:
            label = QLabel(text, self)
            self.change_font_size(label, **options)
            layout.addWidget(label)
        self.combo = QComboBox(self)
        self.combo.addItems(["combo box text (white in dark mode)", "second"])
        self.fix_dark_mode(self.combo)
        layout.addWidget(self.combo)
        self.ok_button = QPushButton("Highlight me", self)
        self.ok_button.setObjectName("okButton")
        self.ok_button.clicked.connect(lambda: self.highlight_widget(self.ok_button))
        layout.addWidget(self.ok_button)


class HostWindow(QMainWindow):
    """A stand-in for the host's main window, the only place the floating label makes sense:
    it floats over the bottom-right corner of the window that holds the bar."""

    def __init__(self):
        super().__init__()
        self.setWindowTitle("Host window with VLMStatusBar")
        editor = QTextEdit(self)
        editor.setPlainText("The host's main window content.\n\n"
                            "Messages appear in the status bar below, or floating over the "
                            "bottom-right corner, and disappear once their time has passed.")
        self.setCentralWidget(editor)
        self.bar = shared_ui.VLMStatusBar(self)
        self.setStatusBar(self.bar)
        self.resize(640, 360)


class FeedbackPage(QWidget):
    """This page, with what its screenshots use."""

    host_window: HostWindow
    target_label: QLabel
    highlight: Callable[[], None]


def build() -> QWidget:
    page = FeedbackPage()
    page.host_window = HostWindow()
    layout = QVBoxLayout(page)
    layout.addWidget(QLabel("Status messages go to a separate host window; highlights, the font "
                            "dialog and the pick-values dialog work on this page."))

    messages = QGroupBox("Status bar", page)
    messages.setObjectName("messagesBox")
    row = QHBoxLayout(messages)
    text = QLineEdit("Saved 3 files", messages)
    row.addWidget(text)

    def show(floating, msecs):
        page.host_window.show()
        page.host_window.bar.showMessage2(text.text(), msecs, use_floating_label=floating)

    for caption, floating, msecs in [("Floating, 3 s", True, 3000), ("In bar, 1.5 s", False, 1500),
                                     ("Floating, 10 s", True, 10000)]:
        button = QPushButton(caption, messages)
        button.clicked.connect(lambda _=False, f=floating, m=msecs: show(f, m))
        row.addWidget(button)
    layout.addWidget(messages)

    targets = QGroupBox("Highlight", page)
    targets.setObjectName("targetBox")
    form = QFormLayout(targets)
    page.target_label = QLabel("This label is highlighted for 3 s", targets)
    form.addRow("Label:", page.target_label)
    form.addRow("Line edit:", QLineEdit("Group box children keep their style", targets))
    animator = shared_ui.WidgetAnimator()
    highlight = QPushButton("Highlight the label and the group box", page)

    def highlight_both() -> None:
        animator.highlight_widget(page.target_label)
        animator.highlight_widget(targets)

    highlight.clicked.connect(highlight_both)
    layout.addWidget(targets)
    layout.addWidget(highlight)

    dialogs = QHBoxLayout()
    fonts = QPushButton("Open the font dialog", page)

    def open_font_dialog() -> None:
        FontDemoDialog(page).exec()

    fonts.clicked.connect(open_font_dialog)
    pick = QPushButton("Pick values...", page)
    picked = QLabel("Picked: (none)", page)

    def pick_values():
        dialog = shared_ui.PickAnyValueDialog(page, ["region", "country", "city", "zip"],
                                              title="Pick columns")
        if dialog.exec():
            picked.setText("Picked: " + (", ".join(dialog.get_selected_items()) or "(none)"))

    pick.clicked.connect(pick_values)
    for widget in (fonts, pick, picked):
        dialogs.addWidget(widget)
    layout.addLayout(dialogs)
    layout.addStretch(1)
    page.highlight = lambda: highlight.click()
    return page


def _grab(widget, path: Path) -> Path:
    QApplication.processEvents()
    widget.grab().save(str(path))
    return path


def screenshots(page, out_dir, prefix):
    out_dir = Path(out_dir)
    written = []
    host = page.host_window
    host.show()
    host.bar.showMessage2("Saved 3 files", 10000)
    written.append(_grab(host, out_dir / f"{prefix}_floating_message.png"))
    host.bar.clear_messages_and_hide()
    host.bar.showMessage2("Loading model configuration...", 10000, use_floating_label=False)
    written.append(_grab(host, out_dir / f"{prefix}_in_bar_message.png"))
    host.close()

    page.highlight()
    written.append(_grab(page.window(), out_dir / f"{prefix}_highlight.png"))

    fonts = FontDemoDialog(page)
    fonts.show()
    fonts.highlight_widget(fonts.ok_button)
    written.append(_grab(fonts, out_dir / f"{prefix}_font_dialog.png"))
    fonts.close()

    pick = shared_ui.PickAnyValueDialog(page, ["region", "country", "city", "zip"], "Pick columns")
    for row in (0, 2):
        item = pick.ui.listWidget.item(row)
        assert item is not None, row
        item.setCheckState(Qt.CheckState.Checked)
    pick.show()
    written.append(_grab(pick, out_dir / f"{prefix}_pick_values.png"))
    pick.close()
    return written

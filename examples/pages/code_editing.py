"""The three highlighters in their editors, light and dark palettes side by side."""
from PyQt6.QtWidgets import QGridLayout, QLabel, QPlainTextEdit, QWidget
from velmora.app_state import app_state_glbl

import shared_ui

TITLE = "Code editing"

PYTHON = '''class Report(Base):
    """Totals per region,
    rounded to cents."""
    def total(self, rows):
        # skip empty rows
        s = sum(r.amount for r in rows if r)
        return round(s * 1.2, 2)  # with tax
'''

FORMULA = '''IF(col[price] > 100, "high", 'low')
SUM(col[qty]) * 0.5 != ___value___ and True
'''

SQL = '''SELECT region, COUNT(*) AS n -- per region
FROM sales
WHERE amount >= 10.5 AND name LIKE 'A%'
GROUP BY region ORDER BY n DESC
'''

DARK_SHEET = "QPlainTextEdit { background-color: #1e1f22; color: #dcdcdc; }"


class FormulaEdit(QPlainTextEdit):
    """An editor for formulas: the host builds this highlighter on documents of its choosing."""

    def __init__(self, parent: QWidget) -> None:
        super().__init__(parent)
        self.highlighter = shared_ui.VLMHighlighter(self.document(),
                                                    arr_function_name=["IF", "SUM"])


def _editors(parent):
    return [
        ("Python: VLMCodeTextEdit", shared_ui.VLMCodeTextEdit(parent), PYTHON),
        ("Formula: VLMHighlighter", FormulaEdit(parent), FORMULA),
        ("SQL: VLMSQLTextEdit", shared_ui.VLMSQLTextEdit(parent), SQL),
    ]


def build() -> QWidget:
    page = QWidget()
    grid = QGridLayout(page)
    before = app_state_glbl.is_dark_mode
    for column, dark in enumerate((False, True)):
        grid.addWidget(QLabel("Dark palette" if dark else "Light palette"), 0, column)
        # The palette is chosen when a highlighter is built, so build each side in its mode.
        app_state_glbl.is_dark_mode = dark
        try:
            editors = _editors(page)
        finally:
            app_state_glbl.is_dark_mode = before
        for row, (caption, editor, text) in enumerate(editors):
            editor.setPlainText(text.rstrip("\n"))
            if dark:
                editor.setStyleSheet(DARK_SHEET)
            grid.addWidget(QLabel(caption), 1 + 2 * row, column)
            grid.addWidget(editor, 2 + 2 * row, column)
    grid.setRowStretch(2, 3)
    grid.setRowStretch(4, 1)
    grid.setRowStretch(6, 2)
    return page

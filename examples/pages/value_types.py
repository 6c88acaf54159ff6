"""The small value types, as the host sees them."""
from PyQt6.QtWidgets import QTableWidget, QTableWidgetItem, QVBoxLayout, QWidget, QLabel

import shared_ui

TITLE = "Value types"


def rows():
    for enum in (shared_ui.MiniHistViewMode, shared_ui.SaveMode):
        for member in enum:
            yield f"{enum.__name__}.{member.name}", str(int(member))
    for value in (2, True, 0.0, 4, "1"):
        try:
            result = repr(shared_ui.SaveMode.from_value(value))
        except ValueError as exc:
            result = f"ValueError: {exc}"
        yield f"SaveMode.from_value({value!r})", result
    for name in ("Worker-12", "Worker-Worker-3", "worker-1", "My Worker-1", ""):
        yield f"TabNameHelper.shorten_node_name({name!r})", repr(
            shared_ui.TabNameHelper.shorten_node_name(name))


def build() -> QWidget:
    page = QWidget()
    layout = QVBoxLayout(page)
    layout.addWidget(QLabel("Enumerations, save-mode lookup and tab-name shortening"))
    data = list(rows())
    table = QTableWidget(len(data), 2, page)
    table.setHorizontalHeaderLabels(["Expression", "Value"])
    for row, (expression, value) in enumerate(data):
        table.setItem(row, 0, QTableWidgetItem(expression))
        table.setItem(row, 1, QTableWidgetItem(value))
    table.resizeColumnsToContents()
    layout.addWidget(table)
    return page

from PyQt6.QtWidgets import QMessageBox


class MsgBox:
    """Message boxes shown over one dialog."""

    def __init__(self, parent):
        self.parent = parent

    def show_info(self, text: str, title: str = "Information"):
        return QMessageBox.information(self.parent, title, text)

    def show_error(self, text: str, title: str = "Error"):
        return QMessageBox.critical(self.parent, title, text)

from PyQt6.QtWidgets import QDialogButtonBox, QListWidget, QVBoxLayout


class Ui_PickValuesDialog:
    """The form of the pick-values dialog: a list of values above OK and Cancel."""

    def setupUi(self, dialog):
        dialog.setObjectName("PickValuesDialog")
        dialog.resize(320, 360)
        dialog.setWindowTitle("Pick values")
        self.verticalLayout = QVBoxLayout(dialog)
        self.listWidget = QListWidget(dialog)
        self.listWidget.setObjectName("listWidget")
        self.verticalLayout.addWidget(self.listWidget)
        self.buttonBox = QDialogButtonBox(dialog)
        self.buttonBox.setObjectName("buttonBox")
        self.buttonBox.setStandardButtons(
            QDialogButtonBox.StandardButton.Ok | QDialogButtonBox.StandardButton.Cancel)
        self.verticalLayout.addWidget(self.buttonBox)
        self.buttonBox.accepted.connect(dialog.accept)
        self.buttonBox.rejected.connect(dialog.reject)

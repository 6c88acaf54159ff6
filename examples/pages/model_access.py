"""The selected model's state and the two background loaders, on the stand-in clients."""
from pathlib import Path

from PyQt6.QtCore import QEventLoop, QTimer
from PyQt6.QtWidgets import (QApplication, QCheckBox, QComboBox, QFormLayout, QGroupBox,
                             QHBoxLayout, QLabel, QListWidget, QPlainTextEdit, QProgressBar,
                             QPushButton, QVBoxLayout, QWidget)
from velmoracore import canned
from velmoracore.api_def import ModelConfig
from velmoracore.api_k8s import ModelMeta, ModelPrefix, ModelVersionInfo
from velmoracore.cloud_def import K8sConfig, K8sRegion

import shared_ui

TITLE = "Model access"

REGIONS = [K8sRegion("eu-west", K8sConfig("https://eu-west.models.example.test/")),
           K8sRegion("us-east", K8sConfig("https://us-east.models.example.test/"))]
MODELS = [ModelMeta("m-1", "churn", ModelPrefix("retail")),
          ModelMeta("m-2", "fraud", ModelPrefix("payments")),
          ModelMeta("m-9", "legacy", ModelPrefix("archive"))]  # the console has no token for it
VERSIONS = [None, ModelVersionInfo("1"), ModelVersionInfo("2")]


def set_up_canned_answers(delay_sec):
    canned.reset()
    canned.canned.delay_sec = delay_sec
    canned.canned.tokens["m-2"] = "token-m-2"
    canned.canned.configs["churn"] = ModelConfig("churn", inputs=["tenure", "plan"],
                                                 outputs=["probability"])
    canned.canned.configs["fraud"] = ModelConfig("fraud", inputs=["amount", "country"],
                                                 outputs=["score"])


class ModelAccessPage(QWidget):
    def __init__(self):
        super().__init__()
        self.running = []
        self.ticks = 0

        selection = QGroupBox("Selected model")
        form = QFormLayout(selection)
        self.region_box, self.model_box, self.version_box = QComboBox(), QComboBox(), QComboBox()
        self.region_box.addItems([r.name for r in REGIONS])
        self.model_box.addItems([f"{m.name} ({m.model_id})" for m in MODELS])
        self.version_box.addItems(["latest"] + [f"v{v.version}" for v in VERSIONS if v is not None])
        self.url_label, self.token_label = QLabel(), QLabel()
        self.host_error = QCheckBox("Model host answers with an error")
        for caption, widget in [("Region", self.region_box), ("Model", self.model_box),
                                ("Version", self.version_box), ("Model URL", self.url_label),
                                ("Token", self.token_label), ("", self.host_error)]:
            form.addRow(caption, widget)
        for box in (self.region_box, self.model_box, self.version_box):
            box.currentIndexChanged.connect(self.select)

        self.config_button = QPushButton("Fetch model configuration")
        self.services_button = QPushButton("Fetch workflow services")
        self.config_button.clicked.connect(self.fetch_config)
        self.services_button.clicked.connect(self.fetch_services)
        self.busy = QProgressBar()
        self.busy.setRange(0, 0)
        self.busy.setVisible(False)
        self.busy.setMaximumWidth(160)
        self.heartbeat = QLabel()
        buttons = QHBoxLayout()
        for widget in (self.config_button, self.services_button, self.busy):
            buttons.addWidget(widget)
        buttons.addStretch(1)
        buttons.addWidget(self.heartbeat)

        self.outcome = QPlainTextEdit()
        self.outcome.setReadOnly(True)
        self.services = QListWidget()
        results = QHBoxLayout()
        results.addWidget(self.outcome, 3)
        results.addWidget(self.services, 2)

        layout = QVBoxLayout(self)
        layout.addWidget(selection)
        layout.addLayout(buttons)
        layout.addWidget(QLabel("Outcome (left) and the region's workflow services (right)"))
        layout.addLayout(results)

        # Keeps counting while a loader works: the GUI thread is never blocked.
        self.timer = QTimer(self)
        self.timer.setInterval(100)
        self.timer.timeout.connect(self.tick)
        self.timer.start()
        self.tick()
        self.select()

    def tick(self):
        self.ticks += 1
        self.heartbeat.setText(f"GUI heartbeat: {self.ticks}")

    def select(self):
        self.state = shared_ui.ModelSelectionState(
            REGIONS[self.region_box.currentIndex()], model_meta=MODELS[self.model_box.currentIndex()],
            version_info=VERSIONS[self.version_box.currentIndex()])
        self.show_state()

    def show_state(self):
        self.url_label.setText(self.state.model_url)
        self.token_label.setText(self.state.token or "(none yet)")

    def report(self, text):
        self.outcome.appendPlainText(text)

    def start(self, loader, done):
        self.running.append(loader)
        self.busy.setVisible(True)

        def finished(ok, message):
            self.report(("OK: " if ok else "ERROR: ") + message)
            if not ok and loader.op_result is not None:
                self.report(f"    {loader.op_result.message}")
            done(loader, ok)

        def failed(exc):
            self.report(f"ERROR: {type(exc).__name__}: {exc}")

        def ended():
            self.running.remove(loader)
            self.busy.setVisible(bool(self.running))

        loader.finished_with.connect(finished)
        loader.failed_with.connect(failed)
        loader.finished.connect(ended)
        loader.start()

    def fetch_config(self):
        canned.canned.config_error = "Model host unavailable" if self.host_error.isChecked() else ""
        state = self.state
        meta = state.model_meta
        assert meta is not None  # select() always picks a model
        self.report(f"Fetching the configuration of {meta.name} in {state.region.name}")
        loader = shared_ui.GetModelConfigThread(
            self, state.region, meta, state.version_info,
            success_msg=f"Configuration of {meta.name} loaded",
            error_msg=f"Could not load the configuration of {meta.name}")

        def done(loader, ok):
            if loader.token is not None:
                state.set_token(loader.token)
                self.show_state()
            if ok and loader.model_conf is not None:
                conf = loader.model_conf
                self.report(f"    inputs {conf.inputs}, outputs {conf.outputs}")

        self.start(loader, done)

    def fetch_services(self):
        region = REGIONS[self.region_box.currentIndex()]
        self.report(f"Fetching the workflow services of {region.name}")
        loader = shared_ui.GetWorkflowServicesThread(
            self, region, success_msg=f"Workflow services of {region.name} loaded",
            error_msg=f"Could not load the workflow services of {region.name}")

        def done(loader, ok):
            self.services.clear()
            for service in loader.workflow_services or []:
                self.services.addItem(f"{service.name}: {service.url}")

        self.start(loader, done)

    def wait_for_loaders(self):
        for loader in list(self.running):
            loader.wait()


def build() -> QWidget:
    set_up_canned_answers(delay_sec=0.8)
    page = ModelAccessPage()
    app = QApplication.instance()
    assert app is not None, "the page is built inside the gallery's application"
    app.aboutToQuit.connect(page.wait_for_loaders)
    return page


def screenshots(page, out_dir, prefix):
    def settle():
        loop = QEventLoop()

        def quit_when_idle() -> None:
            if not page.running:
                loop.quit()

        timer = QTimer()
        timer.timeout.connect(quit_when_idle)
        timer.start(20)
        loop.exec()

    def grab(name):
        path = Path(out_dir) / f"{prefix}_{name}.png"
        page.window().grab().save(str(path))
        return path

    page.version_box.setCurrentIndex(2)
    page.config_button.click()
    page.services_button.click()
    QApplication.processEvents()
    shots = [grab("loading")]
    settle()
    page.model_box.setCurrentIndex(2)
    page.config_button.click()
    settle()
    page.model_box.setCurrentIndex(1)
    page.host_error.setChecked(True)
    page.config_button.click()
    settle()
    shots.append(grab("results"))
    return shots

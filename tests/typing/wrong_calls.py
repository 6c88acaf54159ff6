"""Three mistakes a host could make with shared_ui: type checkers report each, and nothing else."""
from PyQt6.QtCore import QObject
from PyQt6.QtWidgets import QWidget
from velmoracore.api_k8s import ModelMeta
from velmoracore.cloud_def import K8sRegion

import shared_ui


def report_saved(parent: QWidget) -> None:
    bar = shared_ui.VLMStatusBar(parent)
    bar.showMessage2("Saved", "3000")


def tab_title(node_name: str) -> int:
    title: int = shared_ui.TabNameHelper.shorten_node_name(node_name)
    return title


def fetch(parent: QObject, region: K8sRegion, meta: ModelMeta) -> None:
    loader = shared_ui.GetModelConfigThread(parent, region, meta)
    loader.start()
    loader.fetch_config()

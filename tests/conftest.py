import importlib.util
import logging
import os
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

ROOT = Path(__file__).resolve().parent.parent
HOST = ROOT / "host"
THIN_HOST = Path(__file__).resolve().parent / "thin_host"
# Real Python and SQL files for the highlighters (origins and licences in its README).
CORPUS = Path(__file__).resolve().parent / "corpus"

if str(HOST) not in sys.path:
    sys.path.insert(0, str(HOST))


def _compiled_module_found() -> bool:
    found = importlib.util.find_spec("shared_ui")
    return found is not None and found.origin not in (None, "namespace")


# scripts/run names the build to test (debug, sanitizers) in SHARED_UI_BUILD. Otherwise run straight
# from a development build (meson setup build) when nothing is installed.
BUILD = os.environ.get("SHARED_UI_BUILD")
if BUILD:
    sys.path.insert(0, BUILD)
elif not _compiled_module_found():
    sys.path.insert(0, str(ROOT / "build"))

import shared_ui  # noqa: E402  (after the paths above)

assert shared_ui.__file__.endswith(".so"), f"not the compiled module: {shared_ui.__file__}"
# An installed module or another build would otherwise pass for the one named.
assert not BUILD or Path(shared_ui.__file__).parent == Path(BUILD).resolve(), \
    f"{shared_ui.__file__} is not from {BUILD}"
MODULE_DIR = str(Path(shared_ui.__file__).parent)
# The classes the module defines, in its order.
CLASSES = [value for value in vars(shared_ui).values()
           if isinstance(value, type) and value.__module__ == "shared_ui"]


def run_python(code: str, host: Path = HOST, check: bool = True):
    """Runs `code` in a fresh interpreter that finds the module and the given host."""
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([str(host), MODULE_DIR])
    env["QT_QPA_PLATFORM"] = "offscreen"
    result = subprocess.run([sys.executable, "-P", "-c", textwrap.dedent(code)], env=env,
                            capture_output=True, text=True, timeout=120)
    if check and result.returncode != 0:
        raise AssertionError(f"exit {result.returncode}\n{result.stdout}\n{result.stderr}")
    return result


@pytest.fixture
def dark_mode(monkeypatch):
    """Sets the host's dark mode for one test; gives a setter."""
    from velmora.app_state import app_state_glbl

    return lambda value: monkeypatch.setattr(app_state_glbl, "is_dark_mode", value)


@pytest.fixture(params=[False, True], ids=["light", "dark"])
def palette(request, dark_mode):
    """Runs the test in the light and in the dark palette; gives which (True: dark)."""
    dark_mode(request.param)
    return request.param


@pytest.fixture
def logged(caplog):
    """Every record logged from here on, as (level, message, exception type) each."""
    caplog.set_level(logging.DEBUG)
    return lambda: [(r.levelname, r.getMessage(), r.exc_info and r.exc_info[0])
                    for r in caplog.records]


@pytest.fixture
def page(qtbot):
    """A shown top-level widget to put widgets on."""
    from PyQt6.QtWidgets import QWidget

    page = QWidget()
    qtbot.addWidget(page)
    page.show()
    return page


def pytest_addoption(parser):
    parser.addoption("--update-reference", action="store_true",
                     help="rewrite the highlighters' reference files from what they show now")

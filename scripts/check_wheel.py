"""scripts/run wheel-check runs this in a plain venv that holds the wheel, pip's PyQt6 and
PyQt6-Charts and nothing else, with the stand-in host on PYTHONPATH:

    python -P scripts/check_wheel.py shared_ui|PyQt6.QtCore

The module named is imported first (shared_ui first is the order in which a module linked to
another Qt would bring that Qt in), the module colours a line, and every Qt library in the process
must be the one inside this venv's PyQt6."""
import importlib
import os
import sys

importlib.import_module(sys.argv[1])
import shared_ui  # noqa: E402  (after the module named first)
from PyQt6.QtCore import PYQT_VERSION_STR, QLibraryInfo, qVersion  # noqa: E402
from PyQt6.QtGui import QTextDocument  # noqa: E402
from PyQt6.QtWidgets import QApplication, QPlainTextDocumentLayout  # noqa: E402

app = QApplication(sys.argv[:1])
document = QTextDocument()
document.setDocumentLayout(QPlainTextDocumentLayout(document))
document.setPlainText("def f(x): return 'a'")
shared_ui.VLMPythonHighlighter(document).rehighlight()
runs = len(document.firstBlock().layout().formats())

qt = os.path.realpath(QLibraryInfo.path(QLibraryInfo.LibraryPath.LibrariesPath))
with open("/proc/self/maps") as maps:
    mapped = sorted({line.split()[-1] for line in maps if "/libQt6" in line})
print(f"{sys.argv[1]} first; shared_ui {shared_ui.__version__}: {shared_ui.__file__}")
print(f"PyQt6 {PYQT_VERSION_STR} on Qt {qVersion()}: {qt}")
print(f"{runs} coloured runs; {len(mapped)} Qt libraries mapped:",
      " ".join(os.path.basename(path) for path in mapped))
problems = [f"a Qt library from elsewhere: {path}" for path in mapped
            if os.path.dirname(os.path.realpath(path)) != qt]
if not qt.startswith(os.path.realpath(sys.prefix) + os.sep):
    problems.append(f"PyQt6's Qt is not this venv's ({sys.prefix})")
if runs == 0:
    problems.append("the highlighter coloured nothing")
sys.exit("\n".join(problems) or None)

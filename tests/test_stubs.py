# The typed stub installed with the module: it agrees with the module, documents it, accepts the
# gallery's host code and catches a host's mistakes, in mypy and in pyright.
import ast
import json
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest
from conftest import HOST, MODULE_DIR, ROOT

TYPING = Path(__file__).resolve().parent / "typing"
STUB = Path(MODULE_DIR) / "shared_ui-stubs" / "__init__.pyi"
PYRIGHT = TYPING / "node_modules" / ".bin" / "pyright"
WRONG_CALLS = TYPING / "wrong_calls.py"
# Host code that must type-check clean, and the sample of mistakes.
CHECKED = [ROOT / "examples" / "gallery.py", ROOT / "examples" / "pages", WRONG_CALLS]

# The mistakes in wrong_calls.py: (the line, mypy's error code, pyright's rule).
MISTAKES = [
    ('bar.showMessage2("Saved", "3000")', "arg-type", "reportArgumentType"),
    ("title: int = shared_ui.TabNameHelper.shorten_node_name(node_name)", "assignment",
     "reportAssignmentType"),
    ("loader.fetch_config()", "attr-defined", "reportAttributeAccessIssue"),
]

pytestmark = pytest.mark.skipif("site-packages" not in Path(MODULE_DIR).parts,
                                reason="a build tested in place has no stub: it comes with pip install")


def run(tmp_path, *command):
    """Runs a checker from outside the repository, with the host's packages to analyse."""
    env = dict(os.environ, MYPYPATH=str(HOST), PYTHONPATH=str(HOST), QT_QPA_PLATFORM="offscreen")
    return subprocess.run([str(part) for part in command], cwd=tmp_path, env=env,
                          capture_output=True, text=True, timeout=300)


def mypy_errors(tmp_path):
    # A cache per environment: each stack has a mypy of its own.
    result = run(tmp_path, sys.executable, "-m", "mypy", "--check-untyped-defs",
                 "--follow-imports=silent", "--cache-dir",
                 ROOT / "build-mypy" / Path(sys.prefix).name, *CHECKED)
    found = [re.fullmatch(r"(.+?):(\d+): error: .* \[([\w-]+)\]", line)
             for line in result.stdout.splitlines() if ": error: " in line]
    return result, sorted((m[1], int(m[2]), m[3]) if m else ("?", 0, "?") for m in found)


def pyright_errors(tmp_path):
    if not PYRIGHT.exists():
        pytest.skip("pyright is not installed (scripts/run test installs it)")
    result = run(tmp_path, PYRIGHT, "--outputjson", "--project", TYPING / "pyrightconfig.json",
                 "--pythonpath", sys.executable, *CHECKED)
    report = json.loads(result.stdout)
    return result, sorted((d["file"], d["range"]["start"]["line"] + 1, d.get("rule", "?"))
                          for d in report["generalDiagnostics"] if d["severity"] == "error")


def test_stubtest_finds_stub_and_module_in_agreement(tmp_path):
    result = run(tmp_path, sys.executable, "-P", "-m", "mypy.stubtest", "--allowlist",
                 TYPING / "stubtest-allowlist.txt", "shared_ui")
    assert result.returncode == 0, result.stdout + result.stderr


@pytest.mark.parametrize("errors_of, column", [(mypy_errors, 1), (pyright_errors, 2)],
                         ids=["mypy", "pyright"])
def test_checker_accepts_the_gallery_and_reports_each_mistake(tmp_path, errors_of, column):
    lines = WRONG_CALLS.read_text().splitlines()
    expected = sorted((str(WRONG_CALLS), lines.index("    " + mistake[0]) + 1, mistake[column])
                      for mistake in MISTAKES)
    result, errors = errors_of(tmp_path)
    assert errors == expected, result.stdout + result.stderr


def test_every_class_and_public_method_has_a_doc_string():
    undocumented = [f"{cls.name}.{node.name}" if node is not cls else cls.name
                    for cls in ast.parse(STUB.read_text()).body if isinstance(cls, ast.ClassDef)
                    for node in [cls, *cls.body]
                    if isinstance(node, (ast.ClassDef, ast.FunctionDef))
                    and (node.name == "__init__" or not node.name.startswith("_"))
                    and ast.get_docstring(node) is None]
    assert undocumented == []

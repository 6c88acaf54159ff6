# The guide in docs/: its examples run as they stand, it covers every class, its links resolve.
import re

import pytest

from conftest import CLASSES, ROOT, run_python

DOCS = ROOT / "docs"
PAGES = sorted(DOCS.glob("*.md"))
EXAMPLE = re.compile(r"^```python example\n(.*?)^```$", re.MULTILINE | re.DOTALL)
# What the offscreen platform says about itself, not about the example.
PLATFORM_NOTES = re.compile(r"This plugin does not support|XDG_RUNTIME_DIR not set")
LINK = re.compile(r"\]\(([^)#\s]+)[^)]*\)")


def examples():
    for page in PAGES:
        for number, found in enumerate(EXAMPLE.finditer(page.read_text()), start=1):
            yield pytest.param(found.group(1), id=f"{page.stem}-{number}")


@pytest.mark.parametrize("code", list(examples()))
def test_example_runs_without_errors_or_warnings(code):
    result = run_python("import warnings\nwarnings.simplefilter('error')\n" + code, check=False)
    complaints = [line for line in result.stderr.splitlines() if not PLATFORM_NOTES.search(line)]
    assert result.returncode == 0 and complaints == [], result.stderr


def test_every_class_has_a_section_and_every_page_an_example():
    classes = {cls.__name__ for cls in CLASSES}
    sections = {name for page in PAGES
                for name in re.findall(r"^## `(\w+)`", page.read_text(), re.MULTILINE)}
    assert sections == classes
    assert [page.name for page in PAGES if not EXAMPLE.search(page.read_text())] == ["index.md"]


def test_links_and_pictures_resolve():
    linked = set()
    for page in [ROOT / "README.md", *PAGES]:
        for target in LINK.findall(page.read_text()):
            if not re.match(r"[a-z]+:", target):
                path = (page.parent / target).resolve()
                assert path.exists(), f"{page.name} links to missing {target}"
                linked.add(path)
    unused = [p.name for p in sorted((DOCS / "pictures").iterdir()) if p.resolve() not in linked]
    assert unused == []

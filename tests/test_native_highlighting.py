"""highlightBlock's native path against the surface loop it stands in for: the same format on
every character and the same state on every block, on real files, generated text, text the loop
sees in its own way, long adversarial lines and random documents, and the surface loop whenever
a highlighter is no longer as the module built it."""
from pathlib import Path

import pytest
from PyQt6 import sip
from PyQt6.QtCore import QRegularExpression
from PyQt6.QtGui import QColor, QSyntaxHighlighter

from highlighting import (ADVERSARIAL, ESCAPE_LIMIT, HIGHLIGHTERS, PIECES, SURFACE, VARIANTS,
                          compare, first_difference, fuzz, generated, key, make, read_back)
from shared_ui import VLMHighlighter, VLMPythonHighlighter, VLMSQLHighlighter

from conftest import CORPUS
pytestmark = pytest.mark.usefixtures("qapp")


def with_invalid_names(variant):
    # Qt warns on every search with the rule whose name is no valid pattern.
    marks = pytest.mark.qt_log_ignore("invalid QRegularExpression")
    return pytest.param(variant, marks=marks) if variant == "formula-odd-names" else variant


# --- real files --------------------------------------------------------------------------------

@pytest.mark.parametrize("path, cls", [
    *((p, VLMPythonHighlighter) for p in sorted((CORPUS / "python").glob("*.py.txt"))),
    *((p, VLMSQLHighlighter) for p in sorted((CORPUS / "sql").glob("*.sql"))),
], ids=lambda v: v.name if isinstance(v, Path) else v.__name__)
def test_corpus_files(path, cls, palette):
    blocks = compare(cls, path.read_text(encoding="utf-8"))
    # The files are real code: most blocks get some colour, and the states are the module's.
    assert sum(any(units) for _, _, units in blocks) > len(blocks) // 2
    assert {state for _, state, _ in blocks} <= {-1, 0, 1}


# --- generated text ------------------------------------------------------------------------------

@pytest.mark.parametrize("variant", map(with_invalid_names, VARIANTS))
@pytest.mark.parametrize("seed", range(3))
def test_generated(variant, seed, palette):
    cls, kwargs = VARIANTS[variant]
    compare(cls, generated(PIECES[cls], seed), **kwargs)


@pytest.mark.parametrize("text", [
    'x = """abc\ndef"""\ny = 1',
    '"""\n\nstill?\n"""',  # an empty block in the middle ends the string
    'a = """one""" + """two\n😀😀😀😀😀😀😀 """ x """ y',
    '"""😀"""😀"""\n😀\n"""',
    '""""""""\n"""\'"""\n\'\'\'"""',
    # PyQt drops the mark before the text reaches the regular expressions, but the loop measures
    # an open string by the text itself: one unit more, the block's last.
    'x\n\ufeff"""abc\ndef',
    'x = """\n\ufeff\ny"""',
])
def test_triple_quotes_across_blocks(text):
    blocks = compare(VLMPythonHighlighter, text)
    assert any(state == 1 for _, state, _ in blocks)


# --- what the loop sees in its own way -----------------------------------------------------------

@pytest.mark.parametrize("text", [
    "x\n\ufeff 7l",
    "x\n\ufeff\ufeff 1 x",
    "x\n\ufeff😀 1",
    # With no character outside the BMP, PyQt swaps the bytes of every unit after U+FFFE, which
    # can turn a lone surrogate into a valid character, or two characters into a pair.
    "x\n\ufffe abc 7l",
    "x\n\ufffe\ud800x 1",
    "x\n\ufffe\u3dd8\u00de 1",
    "x\n\ufffe😀 1",
    # Qt refuses to search a text with a lone surrogate.
    "x = 1 'a' + \ud800",
    # Qt runs out of stack on the string, finds no match and colours no later string.
    '"' + "\\x" * (ESCAPE_LIMIT + 1) + '" "b" 1',
], ids=["feff", "two-marks", "feff-non-bmp", "fffe", "fffe-lone-surrogate", "fffe-pair",
        "fffe-non-bmp", "lone-surrogate", "escapes"])
@pytest.mark.parametrize("cls", HIGHLIGHTERS, ids=lambda c: c.__name__)
def test_text_the_loop_sees_in_its_own_way(cls, text):
    compare(cls, text)


# --- long lines ----------------------------------------------------------------------------------

@pytest.mark.parametrize("cls, kwargs, line", ADVERSARIAL.values(), ids=ADVERSARIAL)
def test_adversarial_lines(cls, kwargs, line):
    compare(cls, line(cls, 3000), **kwargs)


@pytest.mark.parametrize("line, kwargs, style", [
    ("col[" * 250_000, {}, None),
    ("(" * 1_000_000, {"arr_function_name": ["|"]}, "vlm_formula"),
], ids=["col-without-bracket", "regex-name-on-openers"])
def test_million_character_lines(line, kwargs, style):
    # Each took minutes before: every position made the matcher scan on to the end of the line.
    highlighter = make(VLMHighlighter, line, **kwargs)
    [(_, state, units)] = read_back(highlighter)
    assert state == 0 and set(units) == {style and key(highlighter.STYLES[style])}


# --- random documents ----------------------------------------------------------------------------

@pytest.mark.parametrize("variant", map(with_invalid_names, VARIANTS))
def test_fuzz(variant, palette):
    _, _, found = fuzz(variant, palette, seed=0, documents=60)
    assert found is None, found


# --- when the surface loop must run ------------------------------------------------------------

def replace_rules(h):
    h.rules = h.rules[::2]


def append_rule(h):
    h.rules.append((QRegularExpression("[a-z]"), 0, h.STYLES["operator"]))


def recolour_palette_entry(h):
    h.STYLES["operator"].setForeground(QColor("pink"))


def spy_instance_set_format(h):
    h.setFormat = lambda start, length, fmt: QSyntaxHighlighter.setFormat(h, start, 1, fmt)


def replace_tri_double(h):
    h.tri_double = (QRegularExpression("'''"), 1, h.STYLES["defclass"])


CHANGES = [replace_rules, append_rule, recolour_palette_entry, spy_instance_set_format]


@pytest.mark.parametrize("cls, change", [
    *((cls, change) for cls in HIGHLIGHTERS for change in CHANGES),
    (VLMPythonHighlighter, replace_tri_double),
], ids=lambda v: v.__name__)
def test_changed_highlighter_takes_the_surface_loop(cls, change):
    text = "def f(x): return 'a' + \"\"\"b\nSELECT count(x) FROM t -- c\nSUM(col[a]) == 1 '''\nz'''"
    before = read_back(make(cls, text))
    native, surface = make(cls, text), make(SURFACE[cls], text)
    change(native)
    change(surface)
    after = read_back(native)
    assert first_difference(after, read_back(surface)) is None
    assert after != before


@pytest.mark.parametrize("method", ["setFormat", "setCurrentBlockState", "previousBlockState",
                                    "currentBlockState", "match_multiline"])
def test_subclass_overrides_are_called(method):
    calls = []

    def spy(self, *args):
        calls.append(args)
        return getattr(VLMPythonHighlighter, method)(self, *args)

    cls = type("Spying", (VLMPythonHighlighter,), {method: spy})
    read_back(make(cls, 'x = 1\ny = """'))
    assert calls


@pytest.mark.parametrize("cls", HIGHLIGHTERS, ids=lambda c: c.__name__)
def test_deleted_highlighter_raises(cls):
    highlighter = make(cls, "x = 1")
    sip.delete(highlighter)
    with pytest.raises(RuntimeError):
        highlighter.highlightBlock("SELECT x = 1")


@pytest.mark.parametrize("cls", HIGHLIGHTERS, ids=lambda c: c.__name__)
def test_deleted_palette_format_is_never_painted(cls):
    # The native path must notice the deletion and leave the block to the surface loop, which
    # reports it instead of reading freed memory.
    highlighter = make(cls, "x")
    sip.delete(highlighter.STYLES["operator"])
    with pytest.raises(RuntimeError, match="has been deleted"):
        highlighter.highlightBlock("a = b + 1 == 2 != 3")


# --- changes after the native path has run -------------------------------------------------------

def override_in_class(h):
    type(h).setFormat = lambda self, start, length, fmt: QSyntaxHighlighter.setFormat(
        self, start, 1, fmt)


@pytest.mark.parametrize("change", [*CHANGES, replace_tri_double, override_in_class],
                         ids=lambda f: f.__name__)
def test_change_after_highlighting_takes_the_surface_loop(change):
    # The native path remembers what its last full check found (the version tags of the class and
    # of the instance's dictionary): a change made after it has run must still be seen.
    text = 'def f(x): return x + 1\ny = """a\nb""" != 2'
    changed_late = make(type("Late", (VLMPythonHighlighter,), {}), text)
    before = read_back(changed_late)
    change(changed_late)
    changed_first = make(type("First", (VLMPythonHighlighter,), {}), text)
    change(changed_first)
    after = read_back(changed_late)
    assert after == read_back(changed_first) and after != before

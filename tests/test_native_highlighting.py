"""highlightBlock's native path against the surface loop it stands in for: the same format on
every character and the same state on every block, on real files and on generated text, and the
surface loop whenever a highlighter is no longer as the module built it."""
import random
from pathlib import Path

import pytest
from PyQt6 import sip
from PyQt6.QtCore import QRegularExpression
from PyQt6.QtGui import QColor, QSyntaxHighlighter, QTextDocument
from PyQt6.QtWidgets import QPlainTextDocumentLayout

from shared_ui import VLMHighlighter, VLMPythonHighlighter, VLMSQLHighlighter

from conftest import CORPUS
pytestmark = pytest.mark.usefixtures("qapp")

HIGHLIGHTERS = (VLMPythonHighlighter, VLMHighlighter, VLMSQLHighlighter)


def call_through(cls):
    """What a host subclass that wraps setFormat looks like; it sends every block down the
    surface loop."""

    class CallThrough(cls):
        def setFormat(self, start, length, fmt):
            QSyntaxHighlighter.setFormat(self, start, length, fmt)

    return CallThrough


SURFACE = {cls: call_through(cls) for cls in HIGHLIGHTERS}


def fmt_key(fmt):
    return fmt.foreground().color().name(), fmt.fontItalic(), fmt.fontWeight()


def make(cls, text, *args, **kwargs):
    document = QTextDocument()
    document.setDocumentLayout(QPlainTextDocumentLayout(document))
    document.setPlainText(text)
    highlighter = cls(document, *args, **kwargs)
    highlighter.document_ref = document
    return highlighter


def read_back(highlighter):
    """(text, state, format of every UTF-16 code unit) per block, after a full rehighlight."""
    highlighter.rehighlight()
    result = []
    block = highlighter.document().begin()
    while block.isValid():
        units = [None] * (len(block.text().encode("utf-16-le")) // 2)
        for fmt_range in block.layout().formats():
            for i in range(fmt_range.start, min(fmt_range.start + fmt_range.length, len(units))):
                units[i] = fmt_key(fmt_range.format)
        result.append((block.text(), block.userState(), units))
        block = block.next()
    return result


def assert_same(native, surface):
    assert len(native) == len(surface)
    for number, (got, want) in enumerate(zip(native, surface)):
        assert got == want, f"block {number}: {want[0]!r}"


def compare(cls, text, *args, **kwargs):
    native = read_back(make(cls, text, *args, **kwargs))
    assert_same(native, read_back(make(SURFACE[cls], text, *args, **kwargs)))
    return native


# --- real files --------------------------------------------------------------------------------

@pytest.mark.parametrize("path, cls", [
    *((p, VLMPythonHighlighter) for p in sorted((CORPUS / "python").glob("*.py"))),
    *((p, VLMSQLHighlighter) for p in sorted((CORPUS / "sql").glob("*.sql"))),
], ids=lambda v: v.name if isinstance(v, Path) else v.__name__)
@pytest.mark.parametrize("dark", [False, True], ids=["light", "dark"])
def test_corpus_files(path, cls, dark, dark_mode):
    dark_mode(dark)
    blocks = compare(cls, path.read_text(encoding="utf-8"))
    # The files are real code: most blocks get some colour, and the states are the module's.
    assert sum(any(units) for _, _, units in blocks) > len(blocks) // 2
    assert {state for _, state, _ in blocks} <= {-1, 0, 1}


# --- generated text ------------------------------------------------------------------------------

ODD = ["é", "ß", "日本", "😀", "𝔘𝔫𝔦", "\u00a0", "\u2028", "\t", "", " "]
PYTHON_PIECES = [
    "def", "class", "self", "selfish", "undefined", "int", "datetime", "None", "lambda", "match",
    "x", "_y2", "(", ")", "[", "]", "{", "}", "=", "==", "!=", "<=", ">>", "**", "//", "%=", "~",
    ":", "+", "-", ".", ",", "#", "# note", '"', "'", "\\", '\\"', "\\'", '"""', "'''", '"a b"',
    "'c\\'d'", "0", "42", "-7", "+3", "0x1F", "0Xg", "10L", "3.14", "1e10", "2.5E-3", "1.", "7l",
    *ODD]
SQL_PIECES = [
    "SELECT", "select", "Select", "sElEcT", "FROM", "from", "ORDER BY", "order by", "Order By",
    "ORDER  BY", "GROUP BY", "IS NULL", "IS NOT NULL", "is not null", "Is null", "COUNT", "count",
    "concat_ws", "Concat_ws", "update_date", "date", "LIT", "x", "(", ")", "=", "<>", "<=", ">=",
    "//", "%", "*", "--", "-- c", "-", "'", "''", "'it''s'", '"col name"', '"', "\\", "\\'",
    "1", "-2", "0x1A", "3.5e+2", "12l", ",", ";", *ODD]
FORMULA_PIECES = [
    "col[", "col[a]", "]", "[", "___", "___x___", "______", "SUM(", "sum(", "IF", "IF (", "DATE_ADD(",
    "A.B(", "X9_.Q(", "and", "or", "AND", "True", "False", "true", "==", "!=", "<", "<=", ">=",
    "+", "-", "*", "**", "/", "//", "%", "(", ")", '"a-b"', "'x1'", '"', "'", "\\", "1", "-2.5",
    "0xff", "7L", "x", *ODD]


def generated(pieces, seed, lines=60):
    rng = random.Random(seed)
    out = []
    for _ in range(lines):
        shape = rng.random()
        if shape < 0.08:
            out.append("")
        elif shape < 0.12:  # very long lines
            out.append(" ".join(rng.choice(pieces) for _ in range(rng.randint(400, 900))))
        else:
            joiner = rng.choice(["", " ", " "])
            out.append(joiner.join(rng.choice(pieces) for _ in range(rng.randint(1, 14))))
    return "\n".join(out)


@pytest.mark.parametrize("seed", range(6))
@pytest.mark.parametrize("dark", [False, True], ids=["light", "dark"])
def test_generated_python(seed, dark, dark_mode):
    dark_mode(dark)
    compare(VLMPythonHighlighter, generated(PYTHON_PIECES, seed))


@pytest.mark.parametrize("seed", range(6))
@pytest.mark.parametrize("dark", [False, True], ids=["light", "dark"])
def test_generated_sql(seed, dark, dark_mode):
    dark_mode(dark)
    compare(VLMSQLHighlighter, generated(SQL_PIECES, seed))


@pytest.mark.parametrize("kwargs", [
    {},
    {"vlm_formula_mode": False},
    {"arr_function_name": []},
    {"arr_function_name": ["SUM", "IF", "DATE_ADD", "sum"]},
    # A wildcard, an empty alternative (matches empty text) and a name that is no valid pattern.
    {"arr_function_name": ["A.B", "|", "IF)", "X9_.Q"]},
], ids=["defaults", "no-formula-mode", "no-functions", "names", "odd-names"])
@pytest.mark.parametrize("seed", range(3))
@pytest.mark.parametrize("dark", [False, True], ids=["light", "dark"])
def test_generated_formulas(kwargs, seed, dark, dark_mode):
    dark_mode(dark)
    compare(VLMHighlighter, generated(FORMULA_PIECES, seed), **kwargs)


@pytest.mark.parametrize("text", [
    'x = """abc\ndef"""\ny = 1',
    '"""\n\nstill?\n"""',  # an empty block in the middle ends the string
    'a = """one""" + """two\n😀😀😀😀😀😀😀 """ x """ y',
    '"""😀"""😀"""\n😀\n"""',
    '""""""""\n"""\'"""\n\'\'\'"""',
])
def test_triple_quotes_across_blocks(text):
    blocks = compare(VLMPythonHighlighter, text)
    assert any(state == 1 for _, state, _ in blocks)


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
    assert_same(after, read_back(surface))
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

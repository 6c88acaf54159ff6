"""highlightBlock's native path against the surface loop on documents that hypothesis draws (among
them short adversarial lines) and on million-character lines, and the surface loop whenever a
highlighter is no longer as the module built it."""
# Every table and real file of test_highlighters.py holds the two paths against each other too,
# and tests/native/highlight_engine_test.cpp the engine against the rule loop.
import pytest
from PyQt6 import sip
from PyQt6.QtCore import QRegularExpression
from PyQt6.QtGui import QColor, QSyntaxHighlighter

from highlighting import (HIGHLIGHTERS, SURFACE, VARIANTS, first_difference, fuzz, key, make,
                          read_back, shown)
from shared_ui import VLMHighlighter, VLMPythonHighlighter, VLMSQLHighlighter

pytestmark = pytest.mark.usefixtures("qapp")


@pytest.mark.parametrize("cls, line, kwargs, style", [
    (VLMHighlighter, "col[" * 250_000, {}, None),
    (VLMHighlighter, "(" * 1_000_000, {"arr_function_name": ["|"]}, "vlm_formula"),
    (VLMPythonHighlighter, "([{" * 333_334, {}, "brace"),
    (VLMSQLHighlighter, "(" * 1_000_000, {}, "brace"),
], ids=["col-without-bracket", "regex-name-on-openers", "python-openers", "sql-openers"])
def test_million_character_lines(cls, line, kwargs, style):
    # Each takes minutes unless the native path colours it: on every match, the surface loop's
    # search checks the rest of the line, and a matcher that scans on to the end of the line for
    # every position is no faster.
    highlighter = make(cls, line, **kwargs)
    [(_, state, units)] = read_back(highlighter)
    assert state == 0 and set(units) == {style and key(highlighter.STYLES[style])}


# Qt's fonts cannot shape some of the scripts that any code point brings, and says so; the
# odd-names variant has a name that is no valid pattern.
@pytest.mark.parametrize("variant", [
    pytest.param(v, marks=pytest.mark.qt_log_ignore(
        "OpenType support missing", *["invalid QRegularExpression"] * (v == "formula-odd-names")))
    for v in VARIANTS])
def test_fuzz(variant, palette):
    # scripts/run fuzz runs the same for longer. A seed per variant and palette: derandomize
    # would draw the same documents in both palettes and for every variant of a highlighter.
    fuzz(variant, f"{variant} {palette}", examples=30)


@pytest.mark.parametrize("cls", HIGHLIGHTERS, ids=lambda c: c.__name__)
def test_native_path_runs(cls):
    # The native path reads sip's wrappers, whose layout and version differ between PyQt6 builds,
    # and quietly leaves every block to the surface loop where it cannot confirm what it reads.
    # The loop looks `match` up on each rule's regular expression through Python; the native path
    # never does.
    text = "def f(x): return 'a' + 1  # c\nSELECT count(x) FROM t -- c\nSUM(col[a]) == 0x1F"
    searches = {}
    for highlighter in (make(cls, text), make(SURFACE[cls], text)):
        calls = searches.setdefault(type(highlighter) is cls, [])
        for regex, _, _ in highlighter.rules:
            regex.match = lambda *args, search=regex.match, **kwargs: (
                calls.append(args) or search(*args, **kwargs))
        read_back(highlighter)
    assert not searches[True] and searches[False]


# --- when the surface loop must run ------------------------------------------------------------

def one_unit_format(self, start, length, fmt):
    QSyntaxHighlighter.setFormat(self, start, 1, fmt)


CHANGES = {
    "rules-replaced": lambda h: setattr(h, "rules", h.rules[::2]),
    "rule-appended": lambda h: h.rules.append((QRegularExpression("[a-z]"), 0, h.STYLES["brace"])),
    "palette-entry-recoloured": lambda h: h.STYLES["operator"].setForeground(QColor("pink")),
    "instance-set-format": lambda h: setattr(
        h, "setFormat", lambda start, length, fmt: QSyntaxHighlighter.setFormat(h, start, 1, fmt)),
    # Equal to the string format before, so that their adjacent runs could be painted as one.
    "tri-double-recoloured": lambda h: h.tri_double[2].setForeground(QColor("pink")),
    # A delimiter that matches empty text would find the same place again forever.
    "tri-double-replaced": lambda h: setattr(
        h, "tri_double", (QRegularExpression("x*"), 1, h.STYLES["defclass"])),
    "class-set-format": lambda h: setattr(type(h), "setFormat", one_unit_format),
    # Seen through the class's bases: the class itself does not change.
    "base-class-set-format": lambda h: setattr(type(h).__base__, "setFormat", one_unit_format),
}


@pytest.mark.parametrize("cls, change", [
    (cls, change) for cls in HIGHLIGHTERS for change in CHANGES
    if cls is VLMPythonHighlighter or not change.startswith("tri-double")
], ids=lambda v: v.__name__ if isinstance(v, type) else v)
def test_changed_highlighter_takes_the_surface_loop(cls, change):
    text = ("def f(x): return 'a' + 'e'\"\"\"b\nSELECT count(x) FROM t -- c\n"
            "SUM(col[a]) == 1 '''\nz'''")
    # Subclasses of subclasses, so that a change to the class or its base stays in this test. The
    # native path keeps what its last full check found while the class, its bases and the
    # instance's dictionary stay unchanged, so a change made after it has run must still be seen.
    native = make(type("Native", (type("NativeBase", (cls,), {}),), {}), text)
    surface = make(type("Surface", (type("SurfaceBase", (SURFACE[cls],), {}),), {}), text)
    before = read_back(native)
    for highlighter in (native, surface):
        CHANGES[change](highlighter)
    after = read_back(native)
    assert first_difference(after, read_back(surface)) is None
    assert after != before


@pytest.mark.parametrize("cls", HIGHLIGHTERS, ids=lambda c: c.__name__)
def test_a_change_after_a_harmless_one_is_seen(cls):
    # A harmless change of the class sends the next block through the full check, which passes;
    # the change after it must still be seen, though Qt highlights straight from the document,
    # with no lookup through the class in between that would make the interpreter track it anew.
    text = "def f(x): return 'a' + 1\nSELECT count(x) FROM t -- c"
    documents = []
    for cls_of in (type("Native", (cls,), {}), type("Surface", (SURFACE[cls],), {})):
        highlighter = make(cls_of, text)
        document = highlighter.document()
        read_back(highlighter)
        cls_of.harmless = True
        document.setPlainText(text + " ")
        cls_of.setFormat = one_unit_format
        document.setPlainText(text)
        documents.append(shown(document))
    assert first_difference(*documents) is None


def after_use(change):
    def made(cls):
        highlighter = make(cls, 'x = """a')
        read_back(highlighter)
        change(highlighter)
        return highlighter
    return made


def storing_state(state):
    """A subclass that stores another state for the delimiter than the module gives it, before
    the native path first reads it."""
    def made(cls):
        def __setattr__(self, name, value):
            super(altering, self).__setattr__(
                name, (value[0], state, value[2]) if name == "tri_double" else value)
        altering = type("Altering", (cls,), {"__setattr__": __setattr__})
        return make(altering, 'x = """a')
    return made


OVERFLOW = "argument 1 overflowed: value must be in the range -2147483648 to 2147483647"
# A host's mistakes in a rule or in the multi-line delimiter: the native path leaves such a block
# to the surface loop, which raises as Python's unpacking and PyQt's int arguments do.
MISTAKES = {
    "rule-of-two": (after_use(lambda h: h.rules.append(h.rules[0][:2])), ValueError,
                    "not enough values to unpack (expected 3, got 2)"),
    "rule-of-four": (after_use(lambda h: h.rules.append(h.rules[0] + (0,))), ValueError,
                     "too many values to unpack (expected 3)"),
    "delimiter-of-two": (after_use(lambda h: setattr(h, "tri_double", h.tri_double[:2])),
                         ValueError, "not enough values to unpack (expected 3, got 2)"),
    "state-above-int": (storing_state(2 ** 31), OverflowError, OVERFLOW),
    "state-below-int": (storing_state(-2 ** 31 - 1), OverflowError, OVERFLOW),
}


@pytest.mark.parametrize("cls, mistake", [
    (cls, mistake) for cls in HIGHLIGHTERS for mistake in MISTAKES
    if cls is VLMPythonHighlighter or mistake.startswith("rule")
], ids=lambda v: v.__name__ if isinstance(v, type) else v)
def test_host_mistakes_raise_as_the_loop_does(qtbot, cls, mistake):
    made, error, message = MISTAKES[mistake]
    highlighter = made(cls)
    with qtbot.capture_exceptions() as raised:
        read_back(highlighter)
    assert [(type(e), str(e)) for _, e, _ in raised] == [(error, message)]


# What each override saw (the first two arguments) or returned, for two blocks.
@pytest.mark.parametrize("method, calls", [
    ("setFormat", [(2, 1), (4, 1), (4, 1), (2, 1), (4, 2), (4, 1), (5, 1), (6, 1), (4, 6)]),
    ("setCurrentBlockState", [(0,), (0,), (1,)]),
    ("previousBlockState", [-1, 0]),
    ("currentBlockState", [0, 1]),
    ("match_multiline", [False, True]),
])
def test_subclass_overrides_are_called(method, calls):
    seen = []

    def spy(self, *args):
        result = getattr(VLMPythonHighlighter, method)(self, *args)
        seen.append(args[:2] if result is None else result)
        return result

    read_back(make(type("Spying", (VLMPythonHighlighter,), {method: spy}), 'x = 1\ny = """'))
    assert seen == calls


@pytest.mark.parametrize("deleted", [lambda h: h, lambda h: h.STYLES["operator"]],
                         ids=["highlighter", "palette-format"])
@pytest.mark.parametrize("cls", HIGHLIGHTERS, ids=lambda c: c.__name__)
def test_deleted_object_raises(cls, deleted):
    # A deleted format must not be read: the native path leaves the block to the surface loop,
    # which reports it.
    highlighter = make(cls, "x")
    sip.delete(deleted(highlighter))
    with pytest.raises(RuntimeError, match="has been deleted"):
        highlighter.highlightBlock("a = b + 1 == 2 != 3")


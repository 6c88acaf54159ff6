"""The three highlighters, driven through real documents and read back per character."""
import keyword
import re

import pytest
from PyQt6.QtCore import QRegularExpression
from PyQt6.QtGui import QColor, QFont, QTextCharFormat, QTextCursor
from PyQt6.QtWidgets import QPlainTextEdit

from shared_ui import VLMHighlighter, VLMPythonHighlighter, VLMSQLHighlighter
from conftest import CORPUS


def color(name):
    return QColor(name).name()


def make(qtbot, cls, *args, **kwargs):
    """An editor whose document carries a highlighter of `cls`; the highlighter is returned."""
    editor = QPlainTextEdit()
    qtbot.addWidget(editor)
    highlighter = cls(editor.document(), *args, **kwargs)
    highlighter.editor = editor  # keeps the document alive as long as the highlighter is used
    return highlighter


def blocks(highlighter, text):
    """Highlights `text` and returns (text, state, colour of every character) per block."""
    document = highlighter.editor.document()
    highlighter.editor.setPlainText(text)
    result = []
    block = document.begin()
    while block.isValid():
        colours = [None] * len(block.text())
        for fmt_range in block.layout().formats():
            fg = fmt_range.format.foreground().color().name()
            for i in range(fmt_range.start, min(fmt_range.start + fmt_range.length, len(colours))):
                colours[i] = fg
        result.append((block.text(), block.userState(), colours))
        block = block.next()
    return result


def char_formats(highlighter, line):
    """The QTextCharFormat of every character of a one-line text."""
    highlighter.editor.setPlainText(line)
    formats = [None] * len(line)
    for fmt_range in highlighter.editor.document().begin().layout().formats():
        for i in range(fmt_range.start, fmt_range.start + fmt_range.length):
            formats[i] = fmt_range.format
    return formats


def expect(highlighter, line, codes, legend):
    """`codes` has one letter per character of `line`: a style of the legend, or '.' for none."""
    assert len(codes) == len(line), "test data: one code per character"
    [(_, state, colours)] = blocks(highlighter, line)
    styles = highlighter.STYLES
    wanted = [None if c == "." else styles[legend[c]].foreground().color().name() for c in codes]
    assert colours == wanted, f"\n{line}\n{codes}"
    assert state == 0


PY = {"k": "keyword", "o": "operator", "b": "brace", "d": "defclass", "s": "string",
      "S": "string2", "c": "comment", "n": "numbers", "f": "self"}
FORMULA = {"o": "operator", "b": "brace", "s": "string", "n": "numbers", "c": "vlm_column",
           "f": "vlm_formula", "m": "vlm_missing_element"}
SQL = {"k": "keyword", "o": "operator", "b": "brace", "s": "string", "S": "string2",
       "n": "numbers", "c": "comment"}


# --- class attributes and construction -------------------------------------------------------

def test_python_keywords_extend_the_interpreters_keyword_list():
    assert VLMPythonHighlighter.keywords == [
        "int", "str", "date", "datetime", "float", "double", "bool", *keyword.kwlist]
    assert len(VLMPythonHighlighter.keywords) == 42


def test_sql_keywords_hold_three_case_forms_as_word_patterns():
    words = VLMSQLHighlighter.keywords
    assert len(words) == 357
    assert all(w.startswith(r"\b") and w.endswith(r"\b") for w in words)
    bare = [w[2:-2] for w in words]
    assert bare[:3] == ["SELECT", "FROM", "VIEW"] and bare[118] == "FROM_UTC_TIMESTAMP"
    assert bare[119:123] == ["Select", "select", "From", "from"]
    assert bare[119 + 2 * 31: 119 + 2 * 31 + 2] == ["Partition by", "partition by"]
    assert bare[-2:] == ["From_utc_timestamp", "from_utc_timestamp"]
    assert bare.count("LIT") == 2 and bare.count("lit") == 2


def test_rules_are_compiled_triples_in_the_documented_order(qtbot):
    h = make(qtbot, VLMPythonHighlighter)
    assert len(h.rules) == 85
    assert all(isinstance(r, QRegularExpression) and r.isValid() and type(n) is int
               and isinstance(f, QTextCharFormat) for r, n, f in h.rules)
    patterns = [r.pattern() for r, _, _ in h.rules]
    assert patterns[0] == r"\bint\b" and patterns[42] == "=" and patterns[74] == r"\bself\b"
    assert h.rules[79][1] == 1 and h.rules[79][0].pattern() == r"\bdef\b\s*(\w+)"
    delimiter, state, fmt = h.tri_double
    assert (delimiter.pattern(), state, fmt) == ('"""', 1, h.STYLES["string2"])
    assert h.highlight_triple_string is False
    sql = make(qtbot, VLMSQLHighlighter)
    assert len(sql.rules) == 377 and sql.rules[-1][0].pattern() == "--[^\\n]*"


@pytest.mark.parametrize("mode, names, count, last", [
    (True, None, 27, r"\b[A-Z]+[A-Z0-9\.\_]*\("),
    (False, None, 25, r"\)"),
    (True, [], 26, "___.+___"),
    (True, ["IF", "SUM"], 28, r"\bSUM\("),
    (False, ["IF"], 25, r"\)"),
    ("", None, 25, r"\)"),
])
def test_formula_rules_follow_mode_and_function_names(qtbot, mode, names, count, last):
    h = make(qtbot, VLMHighlighter, mode, arr_function_name=names)
    assert len(h.rules) == count and h.rules[-1][0].pattern() == last
    assert h.vlm_formula_mode is mode
    assert h.rules[0][0].pattern() == r"\bcol\[.+\]"
    assert all(n == 0 for _, n, _ in h.rules)


@pytest.mark.parametrize("style, bold, italic", [
    ("", False, False), ("bold", True, False), ("italic", False, True),
    ("bold italic", True, True), ("not-bolder, semi-italics", True, True), ("Bold", False, False),
])
@pytest.mark.parametrize("cls", [VLMPythonHighlighter, VLMHighlighter, VLMSQLHighlighter])
def test_format_text(cls, style, bold, italic):
    fmt = cls.format_text(color="darkOrange", style=style)
    assert fmt.foreground().color().name() == color("darkOrange")
    assert (fmt.fontWeight() == QFont.Weight.Bold) is bold
    assert fmt.fontItalic() is italic
    assert cls.format_text("Blue").foreground().color() == QColor(0, 0, 255)
    assert not cls.format_text("no such colour").foreground().color().isValid()


def test_documentation_strings():
    assert VLMPythonHighlighter.__doc__ == "Syntax highlighter for the Python language."
    assert VLMSQLHighlighter.__doc__ == " Syntax highlighter for the SQL language."
    assert [line.strip() for line in VLMHighlighter.__doc__.splitlines()] == [
        "Syntax highlighter for the Python language.",
        "**  THIS is a simpler version of VLMPythonHighlighter intended to be used for filters,"
        " formulas etc.",
        "and not full-blown Python functions with def, exceptions etc.", ""]


# Each palette row: style name (with /i for italic or /b for bold), light colour, dark colour.
PALETTES = {
    VLMPythonHighlighter: "keyword green darkOrange, operator Blue lightBlue, brace darkGray "
    "lightBlue, defclass darkOrange gold, string darkGreen green, string2 darkGreen green, "
    "comment/i darkCyan gray, self green red, numbers darkBlue lightBlue",
    VLMHighlighter: "keyword green darkOrange, operator Blue lightBlue, brace darkGray lightBlue, "
    "string darkGreen green, string2 darkGreen green, comment/i darkCyan gray, self green red, "
    "numbers darkBlue lightBlue, vlm_column darkCyan darkOrange, vlm_formula magenta lightBlue, "
    "vlm_missing_element/b red red",
    VLMSQLHighlighter: "keyword darkGreen darkOrange, operator darkGray lightBlue, brace gray "
    "lightBlue, string red lightGreen, string2 darkOrange gold, numbers red lightBlue, "
    "comment/i darkCyan gray",
}


@pytest.mark.parametrize("cls", PALETTES, ids=lambda c: c.__name__)
def test_palette_is_chosen_by_dark_mode_at_construction(qtbot, dark_mode, cls):
    rows = [row.split() for row in PALETTES[cls].split(", ")]
    dark_mode(False)
    light = make(qtbot, cls)
    dark_mode(1)  # any true value
    dark = make(qtbot, cls)
    # The palette stays what it was at construction, also when the text is highlighted again.
    light.rehighlight()
    for column, highlighter in ((1, light), (2, dark)):
        assert list(highlighter.STYLES) == [row[0].partition("/")[0] for row in rows]
        for row in rows:
            name, _, style = row[0].partition("/")
            fmt = highlighter.STYLES[name]
            assert fmt.foreground().color().name() == color(row[column]), name
            assert fmt.fontItalic() is (style == "i")
            assert (fmt.fontWeight() == QFont.Weight.Bold) is (style == "b")


def test_comment_is_grey_italic_in_dark_mode(qtbot, dark_mode):
    dark_mode(True)
    h = make(qtbot, VLMPythonHighlighter)
    dark_mode(False)
    formats = char_formats(h, "x  # note")
    assert formats[3].foreground().color().name() == color("gray") and formats[3].fontItalic()
    assert formats[0] is None


# --- the Python highlighter ------------------------------------------------------------------

@pytest.mark.parametrize("line, codes", [
    ("class Foo(Bar):", "kkkkk dddb...bo"),
    ("def undefined(self):", "kkk dddddddddbffffbo"),
    ("selfish = int(datetime)", "....... o kkkbkkkkkkkkb"),
    ('x = "a 1 # b"', '. o sssnscccc'),
    ("y = 'it' # 3 x", ". o ssss.ccncc"),
    ('"abc', "s..."),
    ("'", "s"),
    ("z = 0x1F + 2.5e3 - x2", ". o nnnn o nnnnn o .."),
    ('s = "a\\"b" if a<=b', ". o ssssss kk .oo."),
    ("lambda: x ** 2 // 3", "kkkkkko . oo n oo n"),
    ("match x: case", ".......o....."),
])
def test_python_single_line_rules(qtbot, line, codes):
    codes = codes.replace(" ", ".")
    expect(make(qtbot, VLMPythonHighlighter), line, codes, PY)


def states(highlighter, text):
    return [state for _, state, _ in blocks(highlighter, text)]


@pytest.mark.parametrize("text, expected", [
    ('x = """abc\ndef"""\ny = 1', [1, 0, 0]),
    ('x = """abc\nno delimiter\nstill none\n"""', [1, 1, 1, 0]),
    # An empty line keeps its initial state, so the next line starts outside the string.
    ('x = """abc\n\ndef"""\nz', [1, -1, 1, 1]),
    ('"""one""" """two"""', [0]),
    ('"""one""" """two', [1]),
    # A block that began inside a string and opens another one stays inside that one.
    ('a = """x\n""" c """ d\ne', [1, 1, 1]),
    ('a = """x\n""" c """ d """\ne', [1, 0, 0]),
    ("''' single quotes '''\nx", [0, 0]),
    ("", [-1]),
])
def test_block_states_of_triple_quoted_strings(qtbot, text, expected):
    assert states(make(qtbot, VLMPythonHighlighter), text) == expected


def test_multiline_string_colours_exactly_the_string(qtbot):
    h = make(qtbot, VLMPythonHighlighter)
    s2, op, num = (h.STYLES[k].foreground().color().name() for k in ("string2", "operator",
                                                                          "numbers"))
    first, second, third = blocks(h, 'x = """abc\ndef""" + 1\nq = """a""" + 2')
    assert first[2][4:] == [s2] * 6 and first[2][2] == op
    assert second[2][:6] == [s2] * 6
    # What follows the closing delimiter keeps its own colours.
    assert second[2][6:] == [None, op, None, num]
    assert third[2][4:11] == [s2] * 7 and third[2][11:] == [None, op, None, num]
    assert third[1] == 0


def test_string_running_on_is_coloured_to_the_end_of_the_block(qtbot):
    h = make(qtbot, VLMPythonHighlighter)
    s2 = h.STYLES["string2"].foreground().color().name()
    text = 'x = """\U0001F600 1\n\U0001F600\U0001F600 x = 2'
    first, second = blocks(h, text)
    assert second[1] == 1
    assert set(second[2]) == {s2}
    # Characters outside the basic plane count twice in Qt's positions.
    assert len(second[2]) == len(second[0]) and set(first[2][4:]) == {s2}


def test_editing_a_delimiter_carries_the_state_down_the_document(qtbot):
    h = make(qtbot, VLMPythonHighlighter)
    h.editor.setPlainText('s = """\nabc\ndef\nx = 1')
    doc = h.editor.document()
    assert [doc.findBlockByNumber(i).userState() for i in range(4)] == [1, 1, 1, 1]
    cursor = QTextCursor(doc.findBlockByNumber(1))
    cursor.movePosition(QTextCursor.MoveOperation.EndOfBlock)
    cursor.insertText('"""')
    assert [doc.findBlockByNumber(i).userState() for i in range(4)] == [1, 0, 0, 0]
    formats = doc.findBlockByNumber(3).layout().formats()
    assert [(f.start, f.length) for f in formats] == [(2, 1), (4, 1)]


def test_host_subclass_overrides_are_honoured(qtbot):
    calls = []

    class Host(VLMPythonHighlighter):
        keywords = ["spam"]

        def match_multiline(self, text, delimiter, in_state, style):
            result = super().match_multiline(text, delimiter, in_state, style)
            calls.append((text, result))
            return result

        def setFormat(self, start, length, fmt):
            super().setFormat(start, length, self.STYLES["self"] if length == 4 else fmt)

    h = make(qtbot, Host)
    assert len(h.rules) == 44
    blocks(h, 'spam = """\nint\n""" x')
    assert calls == [('spam = """', True), ("int", True), ('""" x', False)]
    formats = h.editor.document().begin().layout().formats()
    assert formats[0].format.foreground().color().name() == color("green")


def test_empty_match_does_not_hang(qtbot):
    # "|" makes the pattern \b|\( which matches empty text at every word boundary.
    h = make(qtbot, VLMHighlighter, arr_function_name=["|"])
    [(_, state, colours)] = blocks(h, "ab + 1")
    assert state == 0 and colours[3] == h.STYLES["operator"].foreground().color().name()


def test_empty_delimiter_match_does_not_hang(qtbot):
    class Host(VLMPythonHighlighter):
        def __init__(self, document):
            super().__init__(document)
            self.tri_double = (QRegularExpression("x*"), 1, self.STYLES["string2"])

    assert states(make(qtbot, Host), "abc\ndef") == [0, 0]


# --- the formula highlighter -----------------------------------------------------------------

@pytest.mark.parametrize("args, line, codes", [
    ((), "col[a] + col[b]", "cccccccoccccccc"),
    ((), '"a-b" \'x1\'', "ssoss ssss"),
    ((), "x and y or AND true", "..ooo...oo........."),
    ((), "True == False", "oooo oo ooooo"),
    ((), "SUM(col[a]) sum(x)", "ffffccccccb....b.b"),
    ((), "DATE_ADD(A.B(2)", "fffffffffffffnb"),
    ((), "x ** -3", ". oo on"),
    ((True, []), "SUM(x)", "...b.b"),
    ((True, ["IF"]), "IF(a) IF (b) if(c) IFX(d)", "fff.b....b.b...b.b....b.b"),
    ((), "___name___", "mmmmmmmmmm"),
    ((), "x ______", "........"),
    # Greedy, like the column reference: one span from the first ___ to the last.
    ((), "___a___ + ___b___", "mmmmmmmmmmmmmmmmm"),
    ((False,), "___a___ SUM(x)", "....... ...b.b"),
    ((True, ["a.c"]), "abc(1)", "ffffnb"),
])
def test_formula_rules(qtbot, args, line, codes):
    codes = codes.replace(" ", ".")
    expect(make(qtbot, VLMHighlighter, *args), line, codes, FORMULA)


@pytest.mark.parametrize("dark", [False, True])
def test_missing_element_is_red_and_bold_in_both_palettes(qtbot, dark_mode, dark):
    dark_mode(dark)
    h = make(qtbot, VLMHighlighter)
    formats = char_formats(h, "___x___")
    assert all(f.foreground().color().name() == color("red") for f in formats)
    assert all(f.fontWeight() == QFont.Weight.Bold for f in formats)


def test_invalid_function_name_only_disables_its_rule(qtbot):
    h = make(qtbot, VLMHighlighter, arr_function_name=["BAD(", "OK"])
    assert not h.rules[-2][0].isValid()
    [(_, state, colours)] = blocks(h, "OK(1) BAD((2)")
    fml = h.STYLES["vlm_formula"].foreground().color().name()
    assert colours[:3] == [fml] * 3 and state == 0


# --- the SQL highlighter ---------------------------------------------------------------------

@pytest.mark.parametrize("line, codes", [
    ("select Select SELECT sElEcT", "kkkkkk kkkkkk kkkkkk ......"),
    ("order by ORDER BY Order By ORDER  BY", "kkkkkkkk.kkkkkkkk" + "." * 19),
    ("Partition by Partition By", "kkkkkkkkkkkk............."),
    ("update_date DATE", "........... kkkk"),
    ("COUNT(x) count(y)", "kkkkkb.b kkkkkb.b"),
    ("'it''s' \"col name\"", "sssssss SSSSSSSSSS"),
    ("a <> b <= c", ". oo . oo ."),
    ("SELECT 1 -- note", "kkkkkk n ccccccc"),
    ("'a -- b' x", "sssccccccc"),
    ("'x1 2' 3.5", "ssssns nnn"),
    ("x IS NULL IS NOT NULL IS  NULL NULL", ". kkkkkkk kkkkkkkkkkk" + "." * 14),
    ("a AND b OR NOT c AS d", "....................."),
])
def test_sql_rules(qtbot, line, codes):
    codes = codes.replace(" ", ".")
    expect(make(qtbot, VLMSQLHighlighter), line, codes, SQL)


# --- real files ------------------------------------------------------------------------------

def corpus_files():
    return sorted(CORPUS.glob("*/*"))


def triple_quote_states(lines):
    """Block states a fresh document should end with: an independent model of the
    triple-double-quote rules (an empty line is never given a state)."""
    result, state = [], -1
    for line in lines:
        if not line:
            result.append(-1)
            state = -1
            continue
        inside = state == 1
        pos = 0 if inside else line.find('"""')
        skip = 0 if inside else 3
        state = 0
        while pos >= 0:
            close = line.find('"""', pos + skip)
            if close < 0:
                state = 1
                break
            pos = line.find('"""', close + 3)
            skip = 3
        result.append(state)
    return result


@pytest.mark.parametrize("path", corpus_files(), ids=lambda p: p.name)
@pytest.mark.parametrize("cls", [VLMPythonHighlighter, VLMHighlighter, VLMSQLHighlighter])
def test_corpus_smoke(qtbot, cls, path):
    text = path.read_text(encoding="utf-8")
    h = make(qtbot, cls)
    result = blocks(h, text)
    lines = [line for line, _, _ in result]
    assert lines == text.split("\n")
    coloured = sum(1 for _, _, colours in result if any(colours))
    assert coloured > len(lines) // 3
    if cls is VLMPythonHighlighter:
        assert [s for _, s, _ in result] == triple_quote_states(lines)
    else:
        assert all(s == (0 if line else -1) for line, s, _ in result)
    if cls is VLMSQLHighlighter and path.suffix == ".sql":
        comment = h.STYLES["comment"].foreground().color().name()
        for line, _, colours in result:
            if line.startswith("--"):
                assert set(colours) == {comment}



"""The three highlighters as a host builds them and as they colour text, in both palettes, and
real files against their committed references."""
import keyword
import re
from pathlib import Path

import pytest
from PyQt6.QtGui import QColor, QFont

from highlighting import codes, compare, expect, key, make
from shared_ui import VLMHighlighter, VLMPythonHighlighter, VLMSQLHighlighter
from conftest import CORPUS

pytestmark = pytest.mark.usefixtures("qapp")

PY, FORMULA, SQL = VLMPythonHighlighter, VLMHighlighter, VLMSQLHighlighter
REFERENCE = Path(__file__).resolve().parent / "reference"

# --- class attributes and construction -------------------------------------------------------

SQL_WORDS = (
    "SELECT,FROM,VIEW,INDEX,FUNCTION,INT,INTEGER,BIGINT,FLOAT,DOUBLE,DECIMAL,NUMERIC,CHAR,VARCHAR,"
    "STRING,BOOLEAN,DATE,TIMESTAMP,ARRAY,MAP,THEN,ELSE,END,JOIN,INNER,LEFT,RIGHT,FULL,CROSS,ON,"
    "OVER,PARTITION BY,ORDER BY,ROWS,RANGE,GROUP BY,HAVING,LIMIT,DISTINCT,WHERE,BETWEEN,LIKE,IN,"
    "IS NULL,IS NOT NULL,CAST,EXPLAIN,WITH,UNION,INTERSECT,EXCEPT,CONCAT,CONCAT_WS,LENGTH,LOWER,"
    "UPPER,SUBSTRING,TRIM,LTRIM,RTRIM,REPLACE,REGEXP_REPLACE,ABS,CEIL,FLOOR,ROUND,SQRT,POW,EXP,LOG,"
    "LOG10,CURRENT_DATE,CURRENT_TIMESTAMP,DATE_ADD,DATE_SUB,DATEDIFF,MONTHS_BETWEEN,YEAR,MONTH,"
    "DAYOFMONTH,HOUR,MINUTE,SECOND,AVG,COUNT,COUNTDISTINCT,FIRST,LAST,MAX,MIN,SUM,RANK,DENSE_RANK,"
    "ROW_NUMBER,LEAD,LAG,NTILE,ARRAY_CONTAINS,EXPLODE,SIZE,SORT_ARRAY,WHEN,CASE,COALESCE,LIT,ISNAN,"
    "ISNULL,NULLIF,COL,COLUMN,EXPR,LIT,STRUCT,TO_DATE,TO_TIMESTAMP,TO_JSON,FROM_JSON,"
    "TO_UTC_TIMESTAMP,FROM_UTC_TIMESTAMP").split(",")


def test_keyword_lists():
    assert PY.keywords == ["int", "str", "date", "datetime", "float", "double", "bool",
                           *keyword.kwlist]
    case_forms = [form for word in SQL_WORDS for form in (word.capitalize(), word.lower())]
    assert SQL.keywords == [rf"\b{word}\b" for word in SQL_WORDS + case_forms]


# How many rules, and some of their patterns by position.
@pytest.mark.parametrize("cls, args, count, patterns", [
    (PY, (), 85, {0: r"\bint\b", 42: "=", 74: r"\bself\b", 79: r"\bdef\b\s*(\w+)"}),
    # The lists are looked up on the instance, so a host subclass can change them.
    (type("Host", (PY,), {"keywords": ["spam"]}), (), 44, {0: r"\bspam\b"}),
    (SQL, (), 377, {-1: r"--[^\n]*"}),
    (FORMULA, (True, None), 27, {0: r"\bcol\[.+\]", -1: r"\b[A-Z]+[A-Z0-9\.\_]*\("}),
    (FORMULA, (False, None), 25, {-1: r"\)"}),
    (FORMULA, (True, []), 26, {-1: "___.+___"}),
    (FORMULA, (True, ["IF", "SUM"]), 28, {-1: r"\bSUM\("}),
    (FORMULA, (False, ["IF"]), 25, {-1: r"\)"}),
    (FORMULA, ("", None), 25, {-1: r"\)"}),
], ids=lambda v: v.__name__ if isinstance(v, type) else None)
def test_rules(cls, args, count, patterns):
    h = make(cls, "", *args)
    assert len(h.rules) == count
    assert {i: h.rules[i][0].pattern() for i in patterns} == patterns


@pytest.mark.parametrize("style, bold, italic", [
    ("", False, False), ("bold italic", True, True), ("not-bolder, semi-italics", True, True),
    ("Bold", False, False),
])
def test_format_text(style, bold, italic):
    weight = QFont.Weight.Bold if bold else QFont.Weight.Normal
    assert key(PY.format_text(color="darkOrange", style=style)) == (
        QColor("darkOrange").name(), italic, weight)
    assert PY.format_text("Blue").foreground().color() == QColor(0, 0, 255)
    assert not PY.format_text("no such colour").foreground().color().isValid()


# Each palette row: style name (with /i for italic or /b for bold), light colour, dark colour.
PALETTES = {
    PY: "keyword green darkOrange, operator Blue lightBlue, brace darkGray lightBlue, defclass "
    "darkOrange gold, string darkGreen green, string2 darkGreen green, comment/i darkCyan gray, "
    "self green red, numbers darkBlue lightBlue",
    FORMULA: "keyword green darkOrange, operator Blue lightBlue, brace darkGray lightBlue, "
    "string darkGreen green, string2 darkGreen green, comment/i darkCyan gray, self green red, "
    "numbers darkBlue lightBlue, vlm_column darkCyan darkOrange, vlm_formula magenta lightBlue, "
    "vlm_missing_element/b red red",
    SQL: "keyword darkGreen darkOrange, operator darkGray lightBlue, brace gray lightBlue, "
    "string red lightGreen, string2 darkOrange gold, numbers red lightBlue, comment/i darkCyan gray",
}


@pytest.mark.parametrize("cls", PALETTES, ids=lambda c: c.__name__)
@pytest.mark.parametrize("mode, column", [(False, 1), (1, 2)], ids=["light", "dark"])
def test_palette_is_chosen_by_dark_mode_at_construction(dark_mode, cls, mode, column):
    dark_mode(mode)  # any true value for dark
    highlighter = make(cls, "x")
    dark_mode(not mode)
    assert [(name, key(fmt)) for name, fmt in highlighter.STYLES.items()] == [
        (name, (QColor(row[column]).name(), style == "i", 700 if style == "b" else 400))
        for row in map(str.split, PALETTES[cls].split(", "))
        for name, _, style in [row[0].partition("/")]]


# --- the colours of every character ------------------------------------------------------------

# Each highlighter's operators, every character of which it colours as an operator.
OPERATORS = {
    PY: "= : == != < <= > >= + - * / // % ** += -= *= /= %= ^ | & ~ >> <<",
    FORMULA: "== != < <= > >= + - * / // % ** and or True False",
    SQL: "= <> < <= > >= + - * / // %",
}


@pytest.mark.parametrize("cls, args, line, expected", [
    *((cls, (), line, re.sub(r"\S", "o", line)) for cls, line in OPERATORS.items()),
    (PY, (), "def undefined(self):", "kkk dddddddddbffffbo"),
    (PY, (), "selfish = int(datetime)", "....... o kkkbkkkkkkkkb"),
    (PY, (), 'x = "a 1 # b"', '. o sssnscccc'),
    (PY, (), "y = 'it' # 3 x", ". o ssss.ccncc"),
    (PY, (), '"abc', "s..."),
    (PY, (), "'", "s"),
    (PY, (), "z = 0x1F + 2.5e3 - x2", ". o nnnn o nnnnn o .."),
    (PY, (), 's = "a\\"b" if a<=b', ". o ssssss kk .oo."),
    (PY, (), "match x: case", ".......o....."),
    (FORMULA, (), "col[a] + col[b]", "cccccccoccccccc"),
    (FORMULA, (), '"a-b" \'x1\'', "ssoss ssss"),
    (FORMULA, (), "x and y or AND true", "..ooo...oo........."),
    (FORMULA, (), "SUM(col[a]) sum(x)", "ffffccccccb....b.b"),
    (FORMULA, (), "DATE_ADD(A.B(2)", "fffffffffffffnb"),
    (FORMULA, (), "x ** -3", ". oo on"),
    (FORMULA, (True, []), "SUM(x)", "...b.b"),
    (FORMULA, (True, ["IF"]), "IF(a) IF (b) if(c) IFX(d)", "fff.b....b.b...b.b....b.b"),
    (FORMULA, (), "___name___", "mmmmmmmmmm"),
    (FORMULA, (), "x ______", "........"),
    # Greedy, like the column reference: one span from the first ___ to the last.
    (FORMULA, (), "___a___ + ___b___", "mmmmmmmmmmmmmmmmm"),
    (FORMULA, (False,), "___a___ SUM(x)", "....... ...b.b"),
    (FORMULA, (True, ["a.c"]), "abc(1)", "ffffnb"),
    # "|" makes \b|\( which matches empty text at every word boundary; such matches colour
    # nothing and must not stop the search.
    (FORMULA, (True, ["|"]), "ab + 1", "...o.n"),
    # A name that is no valid pattern only loses its own rule (and Qt warns on every search).
    pytest.param(FORMULA, (True, ["BAD(", "OK"]), "OK(1) BAD((2)", "fffnb....bbnb",
                 marks=pytest.mark.qt_log_ignore("invalid QRegularExpression")),
    (SQL, (), "select Select SELECT sElEcT", "kkkkkk kkkkkk kkkkkk ......"),
    (SQL, (), "order by ORDER BY Order By ORDER  BY", "kkkkkkkk kkkkkkkk" + "." * 19),
    (SQL, (), "Partition by Partition By", "kkkkkkkkkkkk............."),
    (SQL, (), "update_date DATE", "........... kkkk"),
    (SQL, (), "'it''s' \"col name\"", "sssssss SSSSSSSSSS"),
    (SQL, (), "'a -- b' x", "sssccccccc"),
    (SQL, (), "'x1 2' 3.5", "ssssns nnn"),
    (SQL, (), "x IS NULL IS NOT NULL IS  NULL NULL", ". kkkkkkk kkkkkkkkkkk" + "." * 14),
    (SQL, (), "a AND b OR NOT c AS d", "....................."),
    # PyQt drops a leading U+FEFF before the text reaches the regular expressions, and with no
    # character outside the BMP, it drops a leading U+FFFE and swaps the bytes of every unit
    # after it, which can turn a lone surrogate into a valid character, or two into a pair.
    (PY, (), "x\n\ufeff 7l", ".\n.nn."),
    (FORMULA, (), "x\n\ufeff\ufeff 1 x", ".\n..n..."),
    (SQL, (), "x\n\ufeff😀 1", ".\n...n."),
    (PY, (), "x\n\ufffe abc 7l", ".\n........"),
    (FORMULA, (), "x\n\ufffe\ud800x 1", ".\n....."),
    (SQL, (), "x\n\ufffe\u3dd8\u00de 1", ".\n....."),
    (PY, (), "x\n\ufffe😀 1", ".\n....n"),
    # Qt refuses to search a text with a lone surrogate.
    (SQL, (), "x = 1 'a' + \ud800", "............."),
], ids=lambda v: v.__name__ if isinstance(v, type) else None)
def test_colours(palette, cls, args, line, expected):
    assert set(expect(cls, line, expected, *args)) == {0}


@pytest.mark.parametrize("text, expected, states", [
    # An empty line keeps its initial state, so the next line starts outside the string.
    ('x = """abc\n\ndef"""\nz', ". o SSSSSS\n\nkkkSSS\nS", [1, -1, 1, 1]),
    # What follows a closing delimiter keeps its own colours.
    ('x = """abc\ndef""" + 1\nq = """a""" + 2', ". o SSSSSS\nSSSSSS o n\n. o SSSSSSS o n",
     [1, 0, 0]),
    ('"""one""" """two"""', "SSSSSSSSS SSSSSSSSS", [0]),
    ('"""one""" """two', "SSSSSSSSS SSSSSS", [1]),
    ('""""""""\n"""\'"""\n\'\'\'"""', "SSSSSSSS\nSSSSSSS\nSSSSSS", [0, 0, 1]),
    ("''' single quotes '''\nx", "s" * 21 + "\n.", [0, 0]),
    ('x = """\nx\n"""', ". o SSS\nS\nSSS", [1, 1, 0]),
    # A block that began inside a string and opens another one stays inside that one.
    ('a = """x\n""" c """ d\ne', ". o SSSS\nSSSSSSSSSSS\nS", [1, 1, 1]),
    ('a = """x\n""" c """ d """\ne', ". o SSSS\nSSSSSSSSSSSSSSS\n.", [1, 0, 0]),
    # Characters outside the BMP count two UTF-16 units, in an open string too.
    ('x = """\n\U00010000', ". o SSS\nSS", [1, 1]),
    ('😀"""😀"""😀"""\n😀\n"""', "  SSSSSSSS  SSS\nSS\nSSS", [1, 1, 0]),
    ('a = """one""" + """two\n' + "😀" * 7 + ' """ x """ y', ". o SSSSSSSSS o SSSSSS\n"
     + "S" * 26, [1, 1]),
    # PyQt drops a leading byte order mark before the text reaches the regular expressions, but
    # the loop measures an open string by the text itself: one unit more, the block's last.
    ('x\n\ufeff"""abc\ndef', ".\nSSSSSSS\nSSS", [0, 1, 1]),
    ('x = """\n\ufeff\ny"""', ". o SSS\nS\nSSSS", [1, 1, 0]),
    ('x\n\ufeffx"""ab"""', ".\n.SSSSSSSS.", [0, 0]),
    # Qt refuses to search a text with a lone surrogate.
    ('"""a"""\udc00', "........", [0]),
    ('x = """\n"""\ud800', ". o SSS\nSSSS", [1, 1]),
    ("", "", [-1]),
])
def test_triple_quoted_strings(palette, text, expected, states):
    assert expect(PY, text, expected) == states


# --- real files --------------------------------------------------------------------------------

@pytest.mark.parametrize("cls, path", [
    *((PY, path) for path in sorted((CORPUS / "python").glob("*.py.txt"))),
    *((SQL, path) for path in sorted((CORPUS / "sql").glob("*.sql"))),
], ids=lambda v: v.name if isinstance(v, Path) else None)
def test_corpus_matches_reference(cls, path, request):
    # Per line of the file: its block state and a legend letter per UTF-16 unit, light palette.
    highlighter, blocks = compare(cls, path.read_text(encoding="utf-8"))
    got = [f"{state:>2} {codes(highlighter, units)}" for _, state, units in blocks]
    reference = REFERENCE / cls.__name__ / f"{path.name}.ref"
    if request.config.getoption("--update-reference"):
        reference.write_text("\n".join(got) + "\n")
    # A change here is a change of what users see: review the reference's diff like code.
    assert got == reference.read_text().splitlines(), "rewritten with --update-reference"

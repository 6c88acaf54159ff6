"""What the highlighting tests and the benchmark share: a highlighter on a bare document, its
formats read back per UTF-16 unit, the native path held against the surface loop, and the texts
to try them on (pieces of each language, long adversarial lines).
"""
import random

from PyQt6.QtGui import QSyntaxHighlighter, QTextDocument
from PyQt6.QtWidgets import QPlainTextDocumentLayout

from shared_ui import VLMHighlighter, VLMPythonHighlighter, VLMSQLHighlighter

HIGHLIGHTERS = (VLMPythonHighlighter, VLMHighlighter, VLMSQLHighlighter)


def call_through(cls):
    """What a host subclass that wraps setFormat looks like; it sends every block down the
    surface loop."""

    class CallThrough(cls):
        def setFormat(self, start, length, fmt):
            QSyntaxHighlighter.setFormat(self, start, length, fmt)

    return CallThrough


SURFACE = {cls: call_through(cls) for cls in HIGHLIGHTERS}


# --- highlighting and reading back ---------------------------------------------------------------

def key(fmt):
    return fmt.foreground().color().name(), fmt.fontItalic(), fmt.fontWeight()


def utf16_length(text):
    return len(text.encode("utf-16-le", "surrogatepass")) // 2


def make(cls, text, *args, **kwargs):
    """A highlighter of `cls` on a bare document that holds `text`."""
    document = QTextDocument()
    document.setDocumentLayout(QPlainTextDocumentLayout(document))
    document.setPlainText(text)
    highlighter = cls(document, *args, **kwargs)
    highlighter.document_ref = document
    return highlighter


def read_back(highlighter):
    """(text, state, format key or None for every UTF-16 unit) per block, after a full
    rehighlight."""
    highlighter.rehighlight()
    result = []
    block = highlighter.document().begin()
    while block.isValid():
        units = [None] * utf16_length(block.text())
        for fmt_range in block.layout().formats():
            start, end = fmt_range.start, min(fmt_range.start + fmt_range.length, len(units))
            units[start:end] = [key(fmt_range.format)] * (end - start)
        result.append((block.text(), block.userState(), units))
        block = block.next()
    return result


def shorten(text, width=60):
    return repr(text) if len(text) <= width else repr(text[:width]) + "..."


def first_difference(native, surface):
    """Where the native blocks first differ from the surface loop's, in words; None if nowhere."""
    if len(native) != len(surface):
        return f"{len(native)} blocks, the loop {len(surface)}"
    for number, ((text, state, units), (_, want_state, want_units)) in enumerate(
            zip(native, surface)):
        where = f"block {number} ({shorten(text)})"
        if state != want_state:
            return f"{where}: state {state}, the loop {want_state}"
        if units != want_units:
            i = next((i for i, (a, b) in enumerate(zip(units, want_units)) if a != b),
                     min(len(units), len(want_units)))
            got, want = units[i:i + 1], want_units[i:i + 1]
            return f"{where}: unit {i} native {got}, the loop {want}"
    return None


def highlight_both(cls, text, *args, **kwargs):
    """The blocks as the native path and as the surface loop colour them."""
    return (read_back(make(cls, text, *args, **kwargs)),
            read_back(make(SURFACE[cls], text, *args, **kwargs)))


def compare(cls, text, *args, **kwargs):
    """Asserts that the native path colours `text` as the surface loop does; returns the blocks."""
    native, surface = highlight_both(cls, text, *args, **kwargs)
    difference = first_difference(native, surface)
    assert difference is None, difference
    return native


# --- texts ---------------------------------------------------------------------------------------

ODD = ["é", "ß", "日本", "😀", "𝔘𝔫𝔦", "\u00a0", "\u2028", "\t", "", " "]
PIECES = {
    VLMPythonHighlighter: [
        "def", "class", "self", "selfish", "undefined", "int", "datetime", "None", "lambda",
        "match", "x", "_y2", "(", ")", "[", "]", "{", "}", "=", "==", "!=", "<=", ">>", "**", "//",
        "%=", "~", ":", "+", "-", ".", ",", "#", "# note", '"', "'", "\\", '\\"', "\\'", '"""',
        "'''", '"a b"', "'c\\'d'", "0", "42", "-7", "+3", "0x1F", "0Xg", "10L", "3.14", "1e10",
        "2.5E-3", "1.", "7l", *ODD],
    VLMSQLHighlighter: [
        "SELECT", "select", "Select", "sElEcT", "FROM", "from", "ORDER BY", "order by",
        "Order By", "ORDER  BY", "GROUP BY", "IS NULL", "IS NOT NULL", "is not null", "Is null",
        "COUNT", "count", "concat_ws", "Concat_ws", "update_date", "date", "LIT", "x", "(", ")",
        "=", "<>", "<=", ">=", "//", "%", "*", "--", "-- c", "-", "'", "''", "'it''s'",
        '"col name"', '"', "\\", "\\'", "1", "-2", "0x1A", "3.5e+2", "12l", ",", ";", *ODD],
    VLMHighlighter: [
        "col[", "col[a]", "]", "[", "___", "___x___", "______", "SUM(", "sum(", "IF", "IF (",
        "DATE_ADD(", "A.B(", "X9_.Q(", "and", "or", "AND", "True", "False", "true", "==", "!=",
        "<", "<=", ">=", "+", "-", "*", "**", "/", "//", "%", "(", ")", '"a-b"', "'x1'", '"', "'",
        "\\", "1", "-2.5", "0xff", "7L", "x", *ODD],
}

# The formula highlighter's argument variants: its modes and function-name lists, among them a
# wildcard, an empty alternative (which matches empty text) and a name that is no valid pattern.
FORMULA_ARGUMENTS = {
    "defaults": {},
    "no-formula-mode": {"vlm_formula_mode": False},
    "no-functions": {"arr_function_name": []},
    "names": {"arr_function_name": ["SUM", "IF", "DATE_ADD", "sum"]},
    "odd-names": {"arr_function_name": ["A.B", "|", "IF)", "X9_.Q"]},
}
# Every highlighter with every argument variant, named.
VARIANTS = {
    "python": (VLMPythonHighlighter, {}),
    "sql": (VLMSQLHighlighter, {}),
    **{f"formula-{name}": (VLMHighlighter, kwargs) for name, kwargs in FORMULA_ARGUMENTS.items()},
}


def generated(pieces, seed, lines=60):
    """Lines of random pieces, a few of them very long, some empty."""
    rng = random.Random(seed)
    out = []
    for _ in range(lines):
        shape = rng.random()
        if shape < 0.08:
            out.append("")
        elif shape < 0.12:
            out.append(" ".join(rng.choice(pieces) for _ in range(rng.randint(400, 900))))
        else:
            joiner = rng.choice(["", " ", " "])
            out.append(joiner.join(rng.choice(pieces) for _ in range(rng.randint(1, 14))))
    return "\n".join(out)


# --- long adversarial lines --------------------------------------------------------------------

def minified(cls, n):
    """One line of about n characters of the highlighter's language, as minified code is."""
    rng = random.Random(n)
    pieces, out, size = PIECES[cls], [], 0
    while size < n:
        out.append(rng.choice(pieces))
        size += len(out[-1]) + 1
    return " ".join(out)


# Qt's regular expressions run out of stack on a quoted string with more escapes than this.
ESCAPE_LIMIT = 13106

# Lines that make a matcher work hard, each of about n characters for a highlighter class.
LINE_KINDS = {
    "col[ without ]": lambda cls, n: "col[" * (n // 4),
    "openers": lambda cls, n: "([{" * (n // 3),
    "unclosed string": lambda cls, n: '"' + '\\"' * (n // 2),
    "long string": lambda cls, n: "'" + "x" * n + "'",
    "escapes": lambda cls, n: '"' + "\\x" * (n // 2) + '" "b"',
    "triple quotes": lambda cls, n: '"""' * (n // 3),
    "minified": minified,
    "number": lambda cls, n: "1" * n,
    "identifier, call": lambda cls, n: "A" * n + "b(",
    "underscores": lambda cls, n: "_" * n,
}
# Each highlighter with each line kind, and the formula highlighter with a function name that
# stays a regular expression on openers: name -> (class, arguments, line of about n characters).
ADVERSARIAL = {
    **{f"{cls.__name__}: {kind}": (cls, {}, make_line)
       for cls in HIGHLIGHTERS for kind, make_line in LINE_KINDS.items()},
    "VLMHighlighter: regex name on openers": (VLMHighlighter, {"arr_function_name": ["|"]},
                                              lambda cls, n: "(" * n),
}

"""What the highlighting tests, the fuzzer (scripts/fuzz_highlighting.py) and the benchmark share:
highlighters on bare documents read back per UTF-16 unit, native against loop, texts to try."""
import operator
import random
import sys

import hypothesis
from hypothesis import strategies as st
from PyQt6.QtGui import QSyntaxHighlighter, QTextDocument
from PyQt6.QtWidgets import QPlainTextDocumentLayout

from shared_ui import VLMHighlighter, VLMPythonHighlighter, VLMSQLHighlighter

HIGHLIGHTERS = (VLMPythonHighlighter, VLMHighlighter, VLMSQLHighlighter)


# What a host subclass that wraps setFormat looks like: every block takes the surface loop.
SURFACE = {cls: type(cls.__name__, (cls,), {
    "setFormat": lambda self, *args: QSyntaxHighlighter.setFormat(self, *args)})
    for cls in HIGHLIGHTERS}

# The letter that stands for each style in the tables and the reference files.
LEGEND = {cls: dict(pair.split(":") for pair in letters.split()) for cls, letters in [
    (VLMPythonHighlighter, "k:keyword o:operator b:brace d:defclass s:string S:string2 "
                           "c:comment n:numbers f:self"),
    (VLMHighlighter, "o:operator b:brace s:string n:numbers c:vlm_column f:vlm_formula "
                     "m:vlm_missing_element"),
    (VLMSQLHighlighter, "k:keyword o:operator b:brace s:string S:string2 n:numbers c:comment"),
]}


# --- highlighting and reading back ---------------------------------------------------------------

def key(fmt):
    return fmt.foreground().color().name(), fmt.fontItalic(), fmt.fontWeight()


def make(cls, text, *args, **kwargs):
    """A highlighter of `cls` on a bare document that holds `text`."""
    document = QTextDocument()
    document.setDocumentLayout(QPlainTextDocumentLayout(document))
    document.setPlainText(text)
    highlighter = cls(document, *args, **kwargs)
    highlighter.document_ref = document
    return highlighter


def read_back(highlighter):
    """(text, state, format key or None per UTF-16 unit) per block, after a full rehighlight."""
    highlighter.rehighlight()
    return shown(highlighter.document())


def shown(document):
    """(text, state, format key or None per UTF-16 unit) per block, as the document has them."""
    result = []
    block = document.begin()
    while block.isValid():
        units = [None] * (len(block.text().encode("utf-16-le", "surrogatepass")) // 2)
        for fmt_range in block.layout().formats():
            start, end = fmt_range.start, min(fmt_range.start + fmt_range.length, len(units))
            units[start:end] = [key(fmt_range.format)] * (end - start)
        result.append((block.text(), block.userState(), units))
        block = block.next()
    return result


def legend(highlighter):
    return next(LEGEND[c] for c in type(highlighter).__mro__ if c in LEGEND)


def codes(highlighter, units):
    """The units as legend letters ('.' for none, '?' for a format of no style). Where two
    styles look alike, the first letter of the legend stands for both."""
    letters = {key(highlighter.STYLES[style]): letter
               for letter, style in reversed(legend(highlighter).items())}
    return "".join("." if unit is None else letters.get(unit, "?") for unit in units)


def first_difference(native, surface):
    """Where the native blocks first differ from the surface loop's, in words; None if nowhere."""
    for number, ((text, state, units), (_, want_state, want)) in enumerate(zip(native, surface)):
        if (state, units) != (want_state, want):
            i = next((i for i, (a, b) in enumerate(zip(units, want)) if a != b), len(units))
            return (f"block {number} ({text[:60]!r}): state {state}, the loop {want_state}; "
                    f"unit {i} native {units[i:i + 1]}, the loop {want[i:i + 1]}")
    return None


def compare(cls, text, *args, **kwargs):
    """Asserts that native and loop colour `text` alike: the native highlighter and blocks."""
    native = make(cls, text, *args, **kwargs)
    blocks = read_back(native)
    difference = first_difference(blocks, read_back(make(SURFACE[cls], text, *args, **kwargs)))
    assert difference is None, difference
    return native, blocks


def expect(cls, text, expected, *args, **kwargs):
    """Asserts that `text` is coloured as `expected` says, natively and through the loop:
    one line per block, one legend letter per UTF-16 unit, '.' or ' ' for none. Returns the
    block states."""
    highlighter, blocks = compare(cls, text, *args, **kwargs)
    styles = highlighter.STYLES
    want = [codes(highlighter, [None if c in ". " else key(styles[legend(highlighter)[c]])
                                for c in line]) for line in expected.split("\n")]
    assert [codes(highlighter, units) for _, _, units in blocks] == want, text
    return [state for _, state, _ in blocks]


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
        "DATE_ADD(", "A.B(", "X9_.Q(", "ZZ(", "and", "or", "AND", "True", "False", "true", "==",
        "!=", "<", "<=", ">=", "+", "-", "*", "**", "/", "//", "%", "(", ")", '"a-b"', "'x1'",
        '"', "'", "\\", "1", "-2.5", "0xff", "7L", "x", *ODD],
}

# Every highlighter with its argument variants, named: the formula highlighter's modes and
# function-name lists, among them a wildcard, an empty alternative (which matches empty text) and
# a name that is no valid pattern.
VARIANTS = {
    "python": (VLMPythonHighlighter, {}),
    "sql": (VLMSQLHighlighter, {}),
    "formula-defaults": (VLMHighlighter, {}),
    "formula-no-formula-mode": (VLMHighlighter, {"vlm_formula_mode": False}),
    "formula-no-functions": (VLMHighlighter, {"arr_function_name": []}),
    "formula-names": (VLMHighlighter, {"arr_function_name": ["SUM", "IF", "DATE_ADD", "sum"]}),
    "formula-odd-names": (VLMHighlighter, {"arr_function_name": ["A.B", "|", "IF)", "X9_.Q"]}),
}


# --- long adversarial lines --------------------------------------------------------------------

# Lines that make a matcher work hard, each of about n characters for a highlighter class.
LINE_KINDS = {
    "col[ without ]": lambda cls, n: "col[" * (n // 4),
    "openers": lambda cls, n: "([{" * (n // 3),
    "unclosed string": lambda cls, n: '"' + '\\"' * (n // 2),
    "long string": lambda cls, n: "'" + "x" * n + "'",
    "escapes": lambda cls, n: '"' + "\\x" * (n // 2) + '" "b"',
    "triple quotes": lambda cls, n: '"""' * (n // 3),
    # Pieces of the highlighter's language, as minified code is.
    "minified": lambda cls, n: " ".join(random.Random(n).choices(PIECES[cls], k=n // 4)),
    "number": lambda cls, n: "1" * n,
    "identifier, call": lambda cls, n: "A" * n + "b(",
    "underscores": lambda cls, n: "_" * n,
}


# --- fuzzing -------------------------------------------------------------------------------------

# Characters that meet the engine's edge cases: word characters and the non-word ones beside
# their ranges, white space (U+2029 also ends a block), NUL, the first character past ASCII,
# characters outside the BMP and other non-ASCII ones, both byte order marks.
ALPHABET = [*"\t\v\f\r !\"#%'()*+,-./0123456789:;<=>@[\\]_`abcdeflsxzACELNSXZ{|}~", "\0",
            "\x80", "é", "日", "\u00a0", "\u2028", "\u2029", "😀", "𝔘", "\U00010000", "\ufeff",
            "\ufffe"]
# highlightBlock gets every block as a str, and PyQt drops a leading U+FEFF when it makes a
# QString of one: the native path, which reads the str itself, must drop the same.
BYTE_ORDER_MARKS = ["\ufeff", "\ufffe", "\ufeff\ufeff", "\ufffe\ufeff"]


def weighted(*choices):
    """one_of with weights, from (weight, strategy) pairs: one_of draws its strategies alike,
    and takes those of a nested one_of as its own."""
    return st.one_of(*[strategy for weight, strategy in choices for _ in range(weight)])


def lines(cls):
    """hypothesis's lines for `cls`: its pieces, with or without spaces between; its pieces
    among edge-case characters and any code point; the same with a lone surrogate (which makes
    Qt refuse to search the whole block, so it is kept to a few lines); the adversarial lines cut
    short; rarely, strings with escapes around the native path's hand-over and around the most
    Qt's regular expressions take before they run out of stack. A fifth start with byte order
    marks."""
    pieces = st.sampled_from(PIECES[cls])
    # Code points from chr(), not st.characters(): whether that gives lone surrogates depends
    # on hypothesis's version, and it caches character tables in the working folder.
    element = weighted((2, pieces), (4, st.sampled_from(ALPHABET)),
                       (1, st.integers(0, sys.maxunicode).map(chr)))
    mixed = st.lists(element, min_size=1, max_size=30).map("".join)

    # Named functions, not lambdas: hypothesis describes the function of every value that
    # builds() and map() make, and reads a lambda's source to do it.
    def short(make, n):
        return make(cls, n)

    def escaped(count):
        return LINE_KINDS["escapes"](cls, 2 * count)

    # Two surrogates that meet make a pair in the QString PyQt hands over: both kinds occur.
    def with_surrogate(line, surrogate, where):
        return line[:where] + surrogate + line[where:]

    body = weighted(
        (10, st.builds(str.join, st.sampled_from(["", " "]),
                       st.lists(pieces, min_size=1, max_size=12))),
        (10, mixed),
        (2, st.builds(with_surrogate, mixed, st.integers(0xD800, 0xDFFF).map(chr),
                      st.integers(0, 30))),
        (10, st.builds(short, st.sampled_from(list(LINE_KINDS.values())), st.integers(1, 200))),
        (1, st.sampled_from([1000, 13106]).flatmap(lambda n: st.integers(n - 2, n + 2))
         .map(escaped)))
    start = weighted((4, st.just("")), (1, st.sampled_from(BYTE_ORDER_MARKS)))
    return st.builds(operator.add, start, body)


def documents(cls):
    return st.lists(lines(cls), min_size=1, max_size=8).map("\n".join)


def fuzz(variant, seed, examples, seen=lambda text: None, **options):
    """Holds native to the loop on `examples` documents that hypothesis draws for `variant`
    from `seed`, the same ones for the same seed and hypothesis. A document where they differ
    is shrunk and the difference raised; `seen` is shown every document first, the minimal one
    last."""
    cls, kwargs = VARIANTS[variant]

    # No deadline: a line of 13,106 escapes takes the loop a while. No example database: what
    # is drawn comes from the seed alone. Nothing but drawing and shrinking: there are no
    # examples to reuse or targets to seek, and explaining a difference would take many more
    # runs. Drawing may be slow on a loaded machine, which says nothing about the highlighters.
    @hypothesis.seed(seed)
    @hypothesis.settings(max_examples=examples, deadline=None, database=None,
                         phases=[hypothesis.Phase.generate, hypothesis.Phase.shrink],
                         suppress_health_check=[hypothesis.HealthCheck.too_slow], **options)
    @hypothesis.given(documents(cls))
    def native_as_loop(text):
        seen(text)
        compare(cls, text, **kwargs)

    native_as_loop()

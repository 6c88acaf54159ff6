"""What the highlighting tests, the fuzzer and the benchmark share: a highlighter on a bare
document, its formats read back per UTF-16 unit, the native path held against the surface loop,
and the texts to try them on (pieces of each language, long adversarial lines, random documents).

Run as a script it fuzzes: random documents for every highlighter in both palettes, native
against the loop, until the time is up, and prints a shrunk reproducer for the first difference.

    scripts/run fuzz [--seconds N] [--seed S]
"""
import argparse
import itertools
import random
import sys
import time
from contextlib import contextmanager

from PyQt6.QtCore import QtMsgType, qInstallMessageHandler
from PyQt6.QtGui import QSyntaxHighlighter, QTextDocument
from PyQt6.QtWidgets import QApplication, QPlainTextDocumentLayout

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


# --- fuzzing -------------------------------------------------------------------------------------

# Characters that meet the engine's edge cases: word and non-word ASCII, white space (U+2029
# also ends a block), NUL, characters outside the BMP and other non-ASCII ones, both byte order
# marks, lone surrogates.
ALPHABET = [*"\t\v\f\r !\"#%'()*+,-./0123456789:;<=>[\\]_abcdeflsxACELNSX{|}~", "\0", "é", "日",
            "\u00a0", "\u2028", "\u2029", "😀", "𝔘", "\ufeff", "\ufffe", "\ud800", "\udbff",
            "\udc00"]


def random_line(rng, cls):
    shape = rng.random()
    if shape < 0.35:
        line = rng.choice(["", " "]).join(
            rng.choice(PIECES[cls]) for _ in range(rng.randint(1, 12)))
    elif shape < 0.7:
        line = "".join(rng.choice(PIECES[cls]) if rng.random() < 0.3 else rng.choice(ALPHABET)
                       for _ in range(rng.randint(1, 30)))
    elif shape < 0.97:
        line = rng.choice(list(LINE_KINDS.values()))(cls, rng.randint(1, 200))
    else:
        # Strings with escapes around the native path's hand-over and around Qt's limit.
        escapes = rng.choice([1000, ESCAPE_LIMIT]) + rng.randint(-2, 2)
        line = LINE_KINDS["escapes"](cls, 2 * escapes)
    if rng.random() < 0.2:
        line = rng.choice(["\ufeff", "\ufffe", "\ufeff\ufeff", "\ufffe\ufeff"]) + line
    return line


def random_document(rng, cls):
    return "\n".join(random_line(rng, cls) for _ in range(rng.randint(1, 8)))


@contextmanager
def palette(dark):
    """The host's dark mode while highlighters are made (they choose their palette then)."""
    from velmora.app_state import app_state_glbl

    before = app_state_glbl.is_dark_mode
    app_state_glbl.is_dark_mode = dark
    try:
        yield
    finally:
        app_state_glbl.is_dark_mode = before


def literal(text):
    """`text` as a Python expression, long runs written as repetitions."""
    parts, plain, i = [], "", 0
    while i < len(text):
        best = ("", 0)
        for period in (1, 2, 3, 4):
            unit = text[i:i + period]
            count = 1
            while text.startswith(unit, i + count * period):
                count += 1
            covered = count * period
            if len(unit) == period and covered >= 16 and covered > len(best[0]) * best[1]:
                best = (unit, count)
        if best[1]:
            if plain:
                parts.append(repr(plain))
                plain = ""
            parts.append(f"{best[0]!r} * {best[1]}")
            i += len(best[0]) * best[1]
        else:
            plain += text[i]
            i += 1
    if plain or not parts:
        parts.append(repr(plain))
    return " + ".join(parts)


def shrink(differs, text, deadline):
    """A shorter text that still differs: whole lines removed first, then ever smaller runs of
    characters, until nothing more can go or the deadline passes."""
    for split, join in ((lambda t: t.split("\n"), "\n".join), (list, "".join)):
        parts = split(text)
        chunk = max(len(parts) // 2, 1)
        while time.monotonic() < deadline:
            i, removed = 0, False
            while i < len(parts) and time.monotonic() < deadline:
                candidate = parts[:i] + parts[i + chunk:]
                if candidate and differs(join(candidate)):
                    parts, removed = candidate, True
                else:
                    i += chunk
            if chunk == 1 and not removed:
                break
            chunk = max(chunk // 2, 1)
        text = join(parts)
    return text


def reproducer(variant, dark, text, difference):
    cls, kwargs = VARIANTS[variant]
    arguments = "".join(f", {name}={value!r}" for name, value in kwargs.items())
    return (f"native and loop differ ({'dark' if dark else 'light'} palette): {difference}\n"
            f"    compare({cls.__name__}, {literal(text)}{arguments})")


def fuzz(variant, dark, seed, documents=None, seconds=None, shrink_seconds=60):
    """Highlights random documents natively and through the loop, `documents` of them or for
    `seconds`. Returns (documents run, characters run, a reproducer of the first difference or
    None)."""
    cls, kwargs = VARIANTS[variant]
    rng = random.Random(f"{variant} {dark} {seed}")
    stop = time.monotonic() + seconds if seconds is not None else None
    run = characters = 0
    with palette(dark):
        while (documents is None or run < documents) and (stop is None or time.monotonic() < stop):
            text = random_document(rng, cls)
            run, characters = run + 1, characters + len(text)
            difference = first_difference(*highlight_both(cls, text, **kwargs))
            if difference is not None:
                def differs(candidate):
                    return first_difference(*highlight_both(cls, candidate, **kwargs)) is not None

                text = shrink(differs, text, time.monotonic() + shrink_seconds)
                difference = first_difference(*highlight_both(cls, text, **kwargs))
                return run, characters, reproducer(variant, dark, text, difference)
    return run, characters, None


def main():
    parser = argparse.ArgumentParser(description="Fuzz the native highlighting path against "
                                     "the rules loop.")
    parser.add_argument("--seconds", type=float, default=60, help="how long to fuzz (default 60)")
    parser.add_argument("--seed", type=int, help="the seed (default: a random one, printed)")
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 32)
    cases = [(variant, dark) for variant in VARIANTS for dark in (False, True)]
    print(f"seed {seed}: {len(cases)} cases (highlighter and arguments, palette), "
          f"{args.seconds:g} s", flush=True)
    started = time.monotonic()
    total_documents = total_characters = 0
    for round_number in itertools.count():
        for variant, dark in cases:
            left = args.seconds - (time.monotonic() - started)
            if left <= 0:
                print(f"no difference in {total_documents} documents ({total_characters} "
                      f"characters), {time.monotonic() - started:.0f} s")
                return 0
            documents, characters, found = fuzz(variant, dark, f"{seed} {round_number}",
                                                seconds=min(1.0, left))
            total_documents += documents
            total_characters += characters
            if found:
                print(found)
                return 1


def only_trouble(kind, context, message):
    # Qt's chatter (fonts, the runtime directory, the odd-names variant's name that is no valid
    # pattern, on every search) says nothing about the colours compared here.
    if kind in (QtMsgType.QtCriticalMsg, QtMsgType.QtFatalMsg):
        print(message, file=sys.stderr)


if __name__ == "__main__":
    qInstallMessageHandler(only_trouble)
    APPLICATION = QApplication([])
    sys.exit(main())

"""Highlighting benchmarks: the module's highlighters against a pure-Python rule loop and a floor.

For each highlighter a document of at least --lines lines is built from the corpus (the Python
and SQL files) or from generated filter and formula text, and fully re-highlighted --runs times
each by:

  native   the module's class as it is (its native path);
  surface  a subclass that only wraps setFormat, which sends every block through the rules one
           by one via the Python surface;
  python   a plain QSyntaxHighlighter subclass written in Python that runs the same rules with
           the same literal loop (the baseline);
  floor    a QSyntaxHighlighter subclass whose highlightBlock only sets the block state: what
           Qt and the Python call cost before any highlighting is done.

Then: re-highlighting after a one-character edit in the middle of the document, building a new
editor and highlighting its first 100 lines, and the memory one more highlighter takes.

A second section highlights long adversarial lines (tests/highlighting.py: many `col[` with no
`]`, openers without closers, escapes, triple quotes, minified code, a long number, a long name
before a call, ...), one line per document, natively at n and at 4n characters, and reports the
growth between them: 4 is linear (CPU time, so that other work on the machine does not blur the
growth). The surface loop is timed too where it is affordable.
Prints medians and ratios; it asserts nothing.

    scripts/run bench [--runs N] [--lines N] [--long N] [--section documents|long-lines]
    PYTHONPATH=build /usr/bin/python3 bench/run.py      (a development build)
"""
import argparse
import ctypes
import gc
import importlib.util
import os
import platform
import random
import statistics
import sys
import time
from pathlib import Path

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
ROOT = Path(__file__).resolve().parent.parent
CORPUS = ROOT / "tests" / "corpus"
sys.path.insert(0, str(ROOT / "host"))
sys.path.insert(0, str(ROOT / "tests"))
if importlib.util.find_spec("shared_ui") is None:
    sys.path.insert(0, str(ROOT / "build"))

from PyQt6.QtCore import QT_VERSION_STR, QRegularExpression  # noqa: E402
from PyQt6.QtGui import QSyntaxHighlighter, QTextCursor, QTextDocument  # noqa: E402
from PyQt6.QtWidgets import (QApplication, QPlainTextDocumentLayout,  # noqa: E402
                             QPlainTextEdit)

APP = QApplication.instance() or QApplication([])

import shared_ui  # noqa: E402
from highlighting import ADVERSARIAL  # noqa: E402


# --- the baseline and the floor ----------------------------------------------------------------

class PythonRuleLoop(QSyntaxHighlighter):
    """The highlighters' rule loop, literally, in Python. Compiles its own copies of the rules."""

    def __init__(self, document, rule_source, tri_double=None):
        super().__init__(document)
        self.rules = [(QRegularExpression(pattern), nth, fmt) for pattern, nth, fmt in rule_source]
        self.tri_double = tri_double

    def highlightBlock(self, text):
        if not text:
            return
        for expression, nth, fmt in self.rules:
            match = expression.match(text, 0)
            while match.hasMatch():
                index = match.capturedStart(nth)
                length = match.capturedLength(nth)
                self.setFormat(index, length, fmt)
                match = expression.match(text, index + length)
        self.setCurrentBlockState(0)
        if self.tri_double is not None:
            self.match_multiline(text, *self.tri_double)

    def match_multiline(self, text, delimiter, in_state, style):
        if self.previousBlockState() == in_state:
            start = add = 0
        else:
            m = delimiter.match(text)
            start = m.capturedStart()
            add = m.capturedEnd() - start
        while start >= 0:
            end = delimiter.match(text, start + add).capturedEnd()
            if end >= add:
                length = end - start
                self.setCurrentBlockState(0)
            else:
                self.setCurrentBlockState(in_state)
                length = len(text.encode("utf-16-le")) // 2 - start + add
            self.setFormat(start, length, style)
            m = delimiter.match(text, start + length)
            start = m.capturedStart()
            add = m.capturedEnd() - start
        return self.currentBlockState() == in_state


class Floor(QSyntaxHighlighter):
    def highlightBlock(self, text):
        self.setCurrentBlockState(0)


def call_through(cls):
    class Surface(cls):
        def setFormat(self, start, length, fmt):
            QSyntaxHighlighter.setFormat(self, start, length, fmt)

    return Surface


# --- documents ---------------------------------------------------------------------------------

def corpus_text(folder, pattern, lines):
    files = [p.read_text(encoding="utf-8") for p in sorted((CORPUS / folder).glob(pattern))]
    out = []
    while len(out) < lines:
        for text in files:
            out.extend(text.splitlines())
    return "\n".join(out)


def formula_text(lines):
    """Filters and formulas as users type them: column references, functions, literals."""
    rng = random.Random(1)
    columns = ["price", "qty", "region name", "created_at", "discount", "id"]
    functions = ["SUM", "AVG", "IF", "DATE_ADD", "ROUND", "COALESCE", "UPPER", "LEN"]

    def term():
        kind = rng.random()
        if kind < 0.4:
            return f"col[{rng.choice(columns)}]"
        if kind < 0.6:
            return str(rng.choice([0, 1, 42, 3.5, -2, 1e3, 0xff]))
        if kind < 0.75:
            return rng.choice(['"EU"', "'open'", '"a \\"b\\""', "___value___"])
        return f"{rng.choice(functions)}({term()}, {term()})"

    out = []
    for _ in range(lines):
        parts = [term()]
        for _ in range(rng.randint(0, 4)):
            parts.append(rng.choice(["+", "-", "*", "/", "==", "!=", "<=", "and", "or", ">"]))
            parts.append(term())
        out.append(" ".join(parts))
    return "\n".join(out)


def new_document(text):
    document = QTextDocument()
    document.setDocumentLayout(QPlainTextDocumentLayout(document))
    document.setPlainText(text)
    return document


# --- measurements ------------------------------------------------------------------------------

def median_seconds(runs, build, work, clock=time.perf_counter):
    times = []
    for _ in range(runs):
        subject = build()
        gc.collect()
        start = clock()
        work(subject)
        times.append(clock() - start)
    return statistics.median(times)


def full_rehighlight(runs, text, make, clock=time.perf_counter):
    def build():
        document = new_document(text)
        return document, make(document)

    return median_seconds(runs, build, lambda pair: pair[1].rehighlight(), clock)


def one_char_edit(runs, text, make):
    document = new_document(text)
    highlighter = make(document)
    highlighter.rehighlight()
    middle = document.findBlockByNumber(document.blockCount() // 2)
    times = []
    for _ in range(max(runs, 5) * 4):
        cursor = QTextCursor(middle)
        cursor.movePosition(QTextCursor.MoveOperation.EndOfBlock)
        start = time.perf_counter()
        cursor.insertText("x")  # the highlighter re-highlights the changed block at once
        times.append(time.perf_counter() - start)
        cursor.deletePreviousChar()
    return statistics.median(times)


def new_editor(runs, text, make_editor):
    first_lines = "\n".join(text.splitlines()[:100])

    def work(_):
        editor = make_editor()
        editor.setPlainText(first_lines)  # highlighted as the text arrives
        editor.deleteLater()

    return median_seconds(runs, lambda: None, work)


class _MallInfo2(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in (
        "arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks",
        "fordblks", "keepcost")]


def heap_bytes():
    """Bytes in use on the C heap (Python's arenas included): glibc's mallinfo2."""
    libc = ctypes.CDLL(None)
    libc.mallinfo2.restype = _MallInfo2
    info = libc.mallinfo2()
    return info.uordblks + info.hblkhd


def memory_per_instance(make, count=300):
    documents = [new_document("x") for _ in range(count)]
    gc.collect()
    before = heap_bytes()
    highlighters = [make(document) for document in documents]
    gc.collect()
    per = (heap_bytes() - before) / count
    del highlighters
    return per


# --- the three highlighters --------------------------------------------------------------------

def rule_source(highlighter):
    return [(expression.pattern(), nth, fmt) for expression, nth, fmt in highlighter.rules]


def cases(lines):
    py_ref = shared_ui.VLMPythonHighlighter(QTextDocument())
    sql_ref = shared_ui.VLMSQLHighlighter(QTextDocument())
    formula_ref = shared_ui.VLMHighlighter(QTextDocument())
    py_rules, sql_rules, formula_rules = map(rule_source, (py_ref, sql_ref, formula_ref))
    tri = py_ref.tri_double

    def plain_editor(cls):
        def make():
            editor = QPlainTextEdit()
            editor.highlighter = cls(editor.document())
            return editor
        return make

    return [
        ("Python", corpus_text("python", "*.py.txt", lines), shared_ui.VLMPythonHighlighter,
         lambda d: PythonRuleLoop(d, py_rules, tri),
         lambda: shared_ui.VLMCodeTextEdit(None),
         plain_editor(lambda d: PythonRuleLoop(d, py_rules, tri))),
        ("SQL", corpus_text("sql", "*.sql", lines), shared_ui.VLMSQLHighlighter,
         lambda d: PythonRuleLoop(d, sql_rules),
         lambda: shared_ui.VLMSQLTextEdit(None),
         plain_editor(lambda d: PythonRuleLoop(d, sql_rules))),
        ("formula", formula_text(lines), shared_ui.VLMHighlighter,
         lambda d: PythonRuleLoop(d, formula_rules),
         plain_editor(shared_ui.VLMHighlighter),
         plain_editor(lambda d: PythonRuleLoop(d, formula_rules))),
    ]


# Speed-ups over pure Python to aim for, and how close to the floor; reported, never enforced.
TARGETS = {"Python": 20, "SQL": 50, "formula": 20}
FLOOR_TARGET = 5


def long_lines(n, runs, only, loop_budget=20.0):
    """Native (and surface loop) times for each adversarial line at n and 4n characters."""
    classes = {"Python": shared_ui.VLMPythonHighlighter, "SQL": shared_ui.VLMSQLHighlighter,
               "formula": shared_ui.VLMHighlighter}
    print(f"\nlong lines: one line of about n = {n} characters per document; CPU times in ms "
          f"(medians of {runs}); growth = time at 4n / time at n (4: linear)\n")
    header = "| highlighter: line | native n | native 4n | growth | loop n | loop 4n | growth |"
    print(header)
    print("|" + "---|" * (header.count("|") - 1))

    # CPU time: a growth between two sizes should not depend on what else the machine runs.
    def timed(cls, line, kwargs, repeat):
        return full_rehighlight(repeat, line, lambda d: cls(d, **kwargs), time.process_time)

    for name, (cls, kwargs, make_line) in ADVERSARIAL.items():
        if only and cls is not classes[only]:
            continue
        native = [timed(cls, make_line(cls, size), kwargs, runs) for size in (n, 4 * n)]
        # The loop can be quadratic: time it at n only where a probe at n/4 promises an
        # affordable run even then, and at 4n likewise.
        loop = []
        probe = timed(call_through(cls), make_line(cls, n // 4), kwargs, 1)
        for size in (n, 4 * n):
            if probe * 16 > loop_budget:
                break
            probe = timed(call_through(cls), make_line(cls, size), kwargs, 1)
            loop.append(probe)
        cells = [f"{t * 1e3:.1f}" for t in native] + [f"{native[1] / native[0]:.1f}"]
        cells += [f"{t * 1e3:.0f}" for t in loop] + ["-"] * (2 - len(loop))
        cells.append(f"{loop[1] / loop[0]:.1f}" if len(loop) == 2 else "-")
        print(f"| {name} | " + " | ".join(cells) + " |", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=3, help="runs per measurement (median)")
    parser.add_argument("--lines", type=int, default=10000, help="lines per document (at least)")
    parser.add_argument("--long", type=int, default=250000,
                        help="characters of the adversarial lines (n; they are timed at n and 4n)")
    parser.add_argument("--section", choices=["documents", "long-lines"],
                        help="one section only")
    parser.add_argument("--only", choices=sorted(TARGETS), help="one highlighter only")
    args = parser.parse_args()

    print(f"machine: {platform.machine()}, {os.cpu_count()} cores, Python "
          f"{platform.python_version()}, Qt {QT_VERSION_STR}")
    if args.section != "long-lines":
        documents(args)
    if args.section != "documents":
        long_lines(args.long, args.runs, args.only)


def documents(args):
    print(f"runs per measurement: {args.runs} for surface and pure Python, {3 * args.runs} for the "
          "rest (medians); times in ms\n")
    header = ("| highlighter | lines | native | surface | pure Python | floor | Python/native "
              "| native/floor | edit: native | edit: Python | new editor: native "
              "| new editor: Python | memory/instance |")
    print(header)
    print("|" + "---|" * (header.count("|") - 1))
    for name, text, cls, python_make, editor, python_editor in cases(args.lines):
        lines = text.count("\n") + 1
        if args.only and name != args.only:
            continue
        # The fast measurements are cheap to repeat, and their medians suffer most from other
        # work on the machine.
        quick_runs = 3 * args.runs
        native = full_rehighlight(quick_runs, text, cls)
        surface = full_rehighlight(args.runs, text, call_through(cls))
        python = full_rehighlight(args.runs, text, python_make)
        floor = full_rehighlight(quick_runs, text, Floor)
        edit_native = one_char_edit(quick_runs, text, cls)
        edit_python = one_char_edit(quick_runs, text, python_make)
        editor_native = new_editor(quick_runs, text, editor)
        editor_python = new_editor(quick_runs, text, python_editor)
        memory = memory_per_instance(cls)
        ratio = python / native
        mark = "" if ratio >= TARGETS[name] else f" (target {TARGETS[name]}x)"
        floor_mark = "" if native / floor <= FLOOR_TARGET else f" (target {FLOOR_TARGET}x)"
        print(f"| {name} | {lines} | {native * 1e3:.1f} | {surface * 1e3:.0f} | {python * 1e3:.0f} "
              f"| {floor * 1e3:.1f} | {ratio:.0f}x{mark} | {native / floor:.1f}x{floor_mark} "
              f"| {edit_native * 1e3:.3f} | {edit_python * 1e3:.3f} | {editor_native * 1e3:.2f} "
              f"| {editor_python * 1e3:.2f} | {memory / 1024:.1f} KiB |", flush=True)


if __name__ == "__main__":
    main()

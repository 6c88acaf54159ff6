"""Highlighting benchmarks: the module's highlighters against the least any highlighter can cost,
against a pure-Python rule loop, and per keystroke.

For each highlighter a document of at least --lines lines is built from the corpus (the Python
and SQL files) or from generated filter and formula text, and fully re-highlighted by:

  C++ floor      a C++ QSyntaxHighlighter that only sets block states: Qt's own loop;
  format floor   a C++ QSyntaxHighlighter that sets exactly the formats and states the native path
                 left on every block (recorded, and checked to come out equal): what producing
                 those formats costs in Qt, with no highlighting done;
  least via sip  the same replay in a class made as the module makes its highlighters, whose
                 highlightBlock is C++ reached through sip: the least any highlighter of ours
                 producing those formats can cost;
  native         the module's class as it is (its native path);
  Python floor   a QSyntaxHighlighter subclass in Python whose highlightBlock only sets the state;
  surface        a subclass that only wraps setFormat, which sends every block through the rules
                 one by one via the Python surface;
  pure Python    a plain QSyntaxHighlighter subclass written in Python that runs the same rules
                 with the same literal loop (the baseline).

The floors come from bench/highlight_floors.cpp, a helper that scripts/run bench builds in the
stack's build folder and never installs. The fast measurements run --runs times, interleaved,
and report the minimum and the median; the slow ones --slow-runs times (median). Then the memory
one more highlighter takes.

The keystroke section opens a file (builds an editor, sets the text, which highlights it), types
one character in the middle of the document, and, for Python, opens a triple-quoted string near
the top of the document with its blank lines made blanks (a blank line would keep its state and
end Qt's re-highlighting; without them every following block changes state and is highlighted
again), natively and with the pure-Python loop, at --lines and at ten times as many lines. It
reports medians and spread (min-max); a frame is 16 ms.

A last section highlights long adversarial lines (tests/highlighting.py: many `col[` with no
`]`, openers without closers, escapes, triple quotes, minified code, a long number, a long name
before a call, ...), one line per document, natively at n and at 4n characters, and reports the
growth between them: 4 is linear (CPU time, so that other work on the machine does not blur the
growth). The surface loop is timed too where it is affordable.
Prints times and ratios; it asserts nothing.

    scripts/run bench [--runs N] [--slow-runs N] [--lines N] [--long N] [--section S] [--only H]
    PYTHONPATH=build /usr/bin/python3 bench/run.py      (a development build)
    bench/run.py ... --save FILE       (bench/side_by_side.py sets such runs next to each other)
"""
import argparse
import ctypes
import gc
import importlib.util
import json
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
# The floors' helper is never installed: scripts/run names the build folder it is in.
sys.path.insert(0, os.environ.get("SHARED_UI_BENCH_HELPER", str(ROOT / "build" / "bench")))

from PyQt6 import QtCore  # noqa: E402
from PyQt6.QtCore import PYQT_VERSION_STR, QRegularExpression, qVersion  # noqa: E402
from PyQt6.QtGui import QSyntaxHighlighter, QTextCursor, QTextDocument  # noqa: E402
from PyQt6.QtWidgets import (QApplication, QPlainTextDocumentLayout,  # noqa: E402
                             QPlainTextEdit)

APP = QApplication.instance() or QApplication([])

import highlight_floors as floors  # noqa: E402
import shared_ui  # noqa: E402
from highlighting import HIGHLIGHTERS, LINE_KINDS  # noqa: E402

# Each highlighter with each line kind, and the formula highlighter with a function name that
# stays a regular expression on openers: name -> (class, arguments, line of about n characters).
ADVERSARIAL = {
    **{f"{cls.__name__}: {kind}": (cls, {}, make_line)
       for cls in HIGHLIGHTERS for kind, make_line in LINE_KINDS.items()},
    "VLMHighlighter: regex name on openers": (shared_ui.VLMHighlighter,
                                              {"arr_function_name": ["|"]}, lambda cls, n: "(" * n),
}


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


def interleaved(runs, text, makers):
    """Seconds of a full re-highlight of a fresh document by each maker, one of each per round,
    so that other work on the machine falls on all of them alike: {name: [seconds, ...]}."""
    times = {name: [] for name in makers}
    for _ in range(runs):
        for name, make in makers.items():
            document = new_document(text)
            highlighter = make(document)
            gc.collect()
            start = time.perf_counter()
            highlighter.rehighlight()
            times[name].append(time.perf_counter() - start)
            del highlighter, document
    return times


def recorded(text, cls, replays):
    """The formats and states the native path leaves on every block, after checking that each
    replay gives exactly them again."""
    document = new_document(text)
    highlighter = cls(document)
    highlighter.rehighlight()
    recording = floors.record(document)
    for name, make in replays.items():
        copy = new_document(text)
        replay = make(copy, recording)
        replay.rehighlight()
        block = floors.first_difference(recording, copy)
        if block >= 0:
            raise SystemExit(f"{name}: block {block} differs from the native path's")
    return recording


def bound_replay(document, recording):
    highlighter = floors.SipReplay(document)
    floors.bind(highlighter, recording)
    return highlighter


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


# --- tables ------------------------------------------------------------------------------------

class Table:
    """A Markdown table printed row by row as it is measured, and kept, so that --save can write it
    (bench/side_by_side.py sets the saved runs of different stacks next to each other)."""

    tables = []

    def __init__(self, title, columns):
        self.title, self.columns, self.rows = title, columns, []
        Table.tables.append(self)
        print(f"\n{title}\n")
        print(markdown_row(columns))
        print(markdown_row(["---"] * len(columns)))

    def add(self, *cells):
        self.rows.append([str(cell) for cell in cells])
        print(markdown_row(self.rows[-1]), flush=True)


def markdown_row(cells):
    return "| " + " | ".join(cells) + " |"


def qt_label():
    """Which Qt this run is on, and where PyQt6 got it (a pip wheel carries its own)."""
    source = "pip" if (Path(QtCore.__file__).parent / "Qt6").is_dir() else "system"
    return f"{qVersion()} ({source})"


# --- the three highlighters --------------------------------------------------------------------

def rule_source(highlighter):
    return [(expression.pattern(), nth, fmt) for expression, nth, fmt in highlighter.rules]


def with_highlighter(make_editor, make_highlighter):
    """An editor whose document gets `make_highlighter`'s highlighter instead of its own."""
    def make():
        editor = make_editor()
        own = getattr(editor, "highlighter", None)
        if own is not None:
            own.setDocument(None)
        editor.highlighter = make_highlighter(editor.document())
        return editor
    return make


class Case:
    """A highlighter, its document, the pure-Python loop with the same rules, and editors that
    carry either (the module's own editor where it has one)."""

    def __init__(self, name, text, cls, loop, editor):
        self.name, self.text, self.cls, self.loop = name, text, cls, loop
        self.editor = editor if editor is not None else with_highlighter(QPlainTextEdit, cls)
        self.loop_editor = with_highlighter(editor or QPlainTextEdit, loop)


def cases(lines):
    py_ref = shared_ui.VLMPythonHighlighter(QTextDocument())
    sql_ref = shared_ui.VLMSQLHighlighter(QTextDocument())
    formula_ref = shared_ui.VLMHighlighter(QTextDocument())
    py_rules, sql_rules, formula_rules = map(rule_source, (py_ref, sql_ref, formula_ref))
    tri = py_ref.tri_double
    return [
        Case("Python", corpus_text("python", "*.py.txt", lines), shared_ui.VLMPythonHighlighter,
             lambda d: PythonRuleLoop(d, py_rules, tri), lambda: shared_ui.VLMCodeTextEdit(None)),
        Case("SQL", corpus_text("sql", "*.sql", lines), shared_ui.VLMSQLHighlighter,
             lambda d: PythonRuleLoop(d, sql_rules), lambda: shared_ui.VLMSQLTextEdit(None)),
        Case("formula", formula_text(lines), shared_ui.VLMHighlighter,
             lambda d: PythonRuleLoop(d, formula_rules), None),
    ]


NAMES = ["Python", "SQL", "formula"]
# Native within this factor of the least a highlighter called through sip can cost.
LEAST_TARGET = 1.25


def documents(args):
    table = Table(
        f"full re-highlights; times in ms, minimum / median of {args.runs} interleaved runs "
        f"(surface and pure Python: median of {args.slow_runs}); native / least via sip: the "
        f"ratio of the minima / the median of the runs' ratios",
        ["highlighter", "lines", "C++ floor", "format floor", "least via sip", "native",
         "native / least via sip", "Python floor", "surface", "pure Python", "Python/native",
         "memory/instance"])
    for case in cases(args.lines):
        if args.only and case.name != args.only:
            continue
        lines = case.text.count("\n") + 1
        recording = recorded(case.text, case.cls,
                             {"format floor": floors.replay, "least via sip": bound_replay})
        fast = interleaved(args.runs, case.text, {
            "C++ floor": floors.state_only,
            "format floor": lambda d: floors.replay(d, recording),
            "least via sip": lambda d: bound_replay(d, recording),
            "native": case.cls,
            "Python floor": Floor,
        })
        surface = full_rehighlight(args.slow_runs, case.text, call_through(case.cls))
        python = full_rehighlight(args.slow_runs, case.text, case.loop)
        memory = memory_per_instance(case.cls)
        low = {name: min(times) for name, times in fast.items()}
        mid = {name: statistics.median(times) for name, times in fast.items()}
        # Each round times the two next to each other: the median of the rounds' ratios is
        # spared the phases this virtual machine goes through, which one lucky minimum is not.
        ratio = statistics.median(n / s for n, s in zip(fast["native"], fast["least via sip"]))
        mark = "" if ratio <= LEAST_TARGET else f" (target {LEAST_TARGET})"
        cells = [f"{low[name] * 1e3:.1f} / {mid[name] * 1e3:.1f}"
                 for name in ("C++ floor", "format floor", "least via sip", "native")]
        cells.append(f"{low['native'] / low['least via sip']:.2f} / {ratio:.2f}{mark}")
        cells.append(f"{low['Python floor'] * 1e3:.1f} / {mid['Python floor'] * 1e3:.1f}")
        cells += [f"{surface * 1e3:.0f}", f"{python * 1e3:.0f}",
                  f"{python / mid['native']:.0f}x", f"{memory / 1024:.1f} KiB"]
        table.add(case.name, lines, *cells)


# --- keystrokes --------------------------------------------------------------------------------

def keystroke_times(text, make_editor, runs, open_string):
    """Seconds to open the file (build the editor and set the text, which Qt highlights in
    full), to type one character in the middle (five times a run), and with `open_string`, to
    type three double quotes at the start of the first block near the top outside any string,
    in the text with its blank lines made blanks."""
    opened, typed, opened_string = [], [], []
    for _ in range(runs):
        gc.collect()
        start = time.perf_counter()
        editor = make_editor()
        editor.setPlainText(text)
        opened.append(time.perf_counter() - start)
        document = editor.document()
        middle = document.findBlockByNumber(document.blockCount() // 2)
        for _ in range(5):
            cursor = QTextCursor(middle)
            cursor.movePosition(QTextCursor.MoveOperation.EndOfBlock)
            start = time.perf_counter()
            cursor.insertText("x")  # Qt re-highlights that block at once
            typed.append(time.perf_counter() - start)
            cursor.deletePreviousChar()
        if open_string:
            # An empty block keeps the state it had (the highlighters set none on empty text), so
            # Qt's re-highlighting would stop at the next blank line: without blank lines, every
            # block after the new string changes state and is highlighted again.
            editor.setPlainText("\n".join(line or " " for line in text.split("\n")))
            block = document.findBlockByNumber(1)
            while (block.userState() != 0 or block.previous().userState() != 0
                   or '"' in block.text()):
                block = block.next()
            cursor = QTextCursor(block)
            start = time.perf_counter()
            cursor.insertText('"""')
            opened_string.append(time.perf_counter() - start)
            cursor.movePosition(QTextCursor.MoveOperation.Left, QTextCursor.MoveMode.KeepAnchor, 3)
            cursor.removeSelectedText()
        del editor, document
    return opened, typed, opened_string


def spread(times):
    return (f"{statistics.median(times) * 1e3:.2f} ({min(times) * 1e3:.2f}-"
            f"{max(times) * 1e3:.2f})")


def keystrokes(args):
    table = Table(
        f"keystrokes: ms, median (min-max); native {args.runs} runs, the pure-Python loop "
        f"{args.slow_runs} (typing: five times a run); a frame is 16 ms",
        ["highlighter", "lines", "action", "native", "pure Python", "Python/native"])
    for lines in (args.lines, 10 * args.lines):
        for case in cases(lines):
            if args.only and case.name != args.only:
                continue
            count = case.text.count("\n") + 1
            open_string = case.name == "Python"
            native = keystroke_times(case.text, case.editor, args.runs, open_string)
            loop = keystroke_times(case.text, case.loop_editor, args.slow_runs, open_string)
            actions = ["open the file", "type a character", 'open """, all later blocks']
            actions = actions[:3 if open_string else 2]
            for action, mine, theirs in zip(actions, native, loop):
                ratio = statistics.median(theirs) / statistics.median(mine)
                table.add(case.name, count, action, spread(mine), spread(theirs), f"{ratio:.0f}x")


def long_lines(n, runs, only, loop_budget=20.0):
    """Native (and surface loop) times for each adversarial line at n and 4n characters."""
    classes = {"Python": shared_ui.VLMPythonHighlighter, "SQL": shared_ui.VLMSQLHighlighter,
               "formula": shared_ui.VLMHighlighter}
    table = Table(
        f"long lines: one line of about n = {n} characters per document; CPU times in ms "
        f"(medians of {runs}); growth = time at 4n / time at n (4: linear)",
        ["highlighter: line", "native n", "native 4n", "growth", "loop n", "loop 4n", "growth"])

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
        table.add(name, *cells)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=11,
                        help="runs of the fast measurements (minimum and median)")
    parser.add_argument("--slow-runs", type=int, default=3,
                        help="runs of the surface and the pure-Python loop (median)")
    parser.add_argument("--lines", type=int, default=10000, help="lines per document (at least)")
    parser.add_argument("--long", type=int, default=250000,
                        help="characters of the adversarial lines (n; they are timed at n and 4n)")
    parser.add_argument("--section", choices=["documents", "keystrokes", "long-lines"],
                        help="one section only")
    parser.add_argument("--only", choices=NAMES, help="one highlighter only")
    parser.add_argument("--save", metavar="FILE", help="also write the tables to FILE (JSON)")
    args = parser.parse_args()

    machine = (f"{platform.machine()}, {os.cpu_count()} cores, Python "
               f"{platform.python_version()}, PyQt6 {PYQT_VERSION_STR} on Qt {qt_label()}, "
               "load average " + " ".join(f"{load:.2f}" for load in os.getloadavg()))
    print(f"machine: {machine}")
    if args.section in (None, "documents"):
        documents(args)
    if args.section in (None, "keystrokes"):
        keystrokes(args)
    if args.section in (None, "long-lines"):
        long_lines(args.long, args.slow_runs, args.only)
    if args.save:
        tables = [{"title": t.title, "columns": t.columns, "rows": t.rows} for t in Table.tables]
        Path(args.save).parent.mkdir(parents=True, exist_ok=True)
        stack = f"{sys.version_info.major}.{sys.version_info.minor}, Qt {qt_label()}"
        Path(args.save).write_text(json.dumps({"stack": stack, "machine": machine,
                                               "tables": tables}, indent=1), encoding="utf-8")


if __name__ == "__main__":
    main()

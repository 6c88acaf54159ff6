"""Fuzzes the native highlighting path against the rules loop: hypothesis draws documents for
every highlighter in both palettes, round after round with seeds that follow from --seed, until
the time is up, and shrinks the first difference to a compare() call ready for a test. The test
suite runs a fixed share of the same (tests/test_native_highlighting.py).

    scripts/run fuzz [--seconds N] [--seed S]
"""
import argparse
import itertools
import random
import re
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "host"))
sys.path.insert(0, str(ROOT / "tests"))

from hypothesis import Verbosity  # noqa: E402
from PyQt6.QtCore import QtMsgType, qInstallMessageHandler  # noqa: E402
from PyQt6.QtWidgets import QApplication  # noqa: E402
from velmora.app_state import app_state_glbl  # noqa: E402

from highlighting import VARIANTS, fuzz  # noqa: E402

# Documents per round: about a second of the slowest highlighter's, so the time box overshoots
# by little, and each round draws afresh from a seed of its own.
ROUND = 50


def literal(text):
    """`text` as a Python expression, runs of 16 characters or more written as repetitions."""
    pieces = [(run[1] or run[0], len(run[0]) // len(run[1] or run[0]))
              for run in re.finditer(r"(.{1,4}?)\1{3,}|.", text, re.S)]
    parts = []
    for long, group in itertools.groupby(pieces, lambda piece: len(piece[0]) * piece[1] >= 16):
        if long:
            parts += [f"{unit!r} * {count}" for unit, count in group]
        else:
            parts.append(repr("".join(unit * count for unit, count in group)))
    return " + ".join(parts) or "''"


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
    documents = characters = 0
    for round_number in itertools.count():
        for variant, dark in cases:
            if time.monotonic() - started >= args.seconds:
                print(f"no difference in {documents} documents ({characters} characters), "
                      f"{time.monotonic() - started:.0f} s")
                return 0
            # Highlighters choose their palette when they are made.
            app_state_glbl.is_dark_mode = dark
            seen = []
            try:
                fuzz(variant, f"{seed} {variant} {dark} {round_number}", ROUND, seen.append,
                     verbosity=Verbosity.quiet, report_multiple_bugs=False)
            except AssertionError as found:
                cls, kwargs = VARIANTS[variant]
                arguments = "".join(f", {name}={value!r}" for name, value in kwargs.items())
                print(f"native and loop differ ({'dark' if dark else 'light'} palette): "
                      f"{found}\n    compare({cls.__name__}, {literal(seen[-1])}{arguments})")
                return 1
            documents += len(seen)
            characters += sum(map(len, seen))


def only_trouble(kind, context, message):
    # Qt's chatter (fonts, the runtime directory, the odd-names variant's name that is no valid
    # pattern, on every search) says nothing about the colours compared here.
    if kind in (QtMsgType.QtCriticalMsg, QtMsgType.QtFatalMsg):
        print(message, file=sys.stderr)


if __name__ == "__main__":
    qInstallMessageHandler(only_trouble)
    APPLICATION = QApplication([])
    sys.exit(main())

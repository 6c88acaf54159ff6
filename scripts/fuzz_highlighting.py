"""Fuzzes the native highlighting path against the rules loop: random documents for every
highlighter in both palettes, until the time is up, then a shrunk reproducer for the first
difference. The test suite runs a fixed share of the same fuzzing (tests/test_native_highlighting.py).

    scripts/run fuzz [--seconds N] [--seed S]
"""
import argparse
import itertools
import random
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "host"))
sys.path.insert(0, str(ROOT / "tests"))

from PyQt6.QtCore import QtMsgType, qInstallMessageHandler  # noqa: E402
from PyQt6.QtWidgets import QApplication  # noqa: E402
from velmora.app_state import app_state_glbl  # noqa: E402

from highlighting import VARIANTS, compare, random_line  # noqa: E402


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


def difference(variant, text):
    """How native and loop differ on `text`, or None."""
    cls, kwargs = VARIANTS[variant]
    try:
        compare(cls, text, **kwargs)
    except AssertionError as found:
        return str(found)
    return None


def fuzz(variant, seed, seconds):
    """Random documents for `variant`, native against loop, for `seconds`: (documents,
    characters, the first text that differs or None)."""
    cls, _ = VARIANTS[variant]
    rng = random.Random(seed)
    stop = time.monotonic() + seconds
    documents = characters = 0
    while time.monotonic() < stop:
        # As the suite's fuzz test makes them (tests/test_native_highlighting.py).
        text = "\n".join(random_line(rng, cls) for _ in range(rng.randint(1, 8)))
        documents, characters = documents + 1, characters + len(text)
        if difference(variant, text) is not None:
            return documents, characters, text
    return documents, characters, None


def reproducer(variant, dark, text, shrink_seconds=60):
    """The shrunk text that still differs, as a call of the suite's compare()."""
    cls, kwargs = VARIANTS[variant]
    text = shrink(lambda t: difference(variant, t) is not None, text,
                  time.monotonic() + shrink_seconds)
    arguments = "".join(f", {name}={value!r}" for name, value in kwargs.items())
    return (f"native and loop differ ({'dark' if dark else 'light'} palette): "
            f"{difference(variant, text)}\n"
            f"    compare({cls.__name__}, {literal(text)}{arguments})")


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
            # Highlighters choose their palette when they are made.
            app_state_glbl.is_dark_mode = dark
            documents, characters, found = fuzz(variant, f"{seed} {variant} {dark} {round_number}",
                                                min(1.0, left))
            total_documents += documents
            total_characters += characters
            if found is not None:
                print(reproducer(variant, dark, found))
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

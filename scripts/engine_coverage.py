"""Prints the highlight engine's line and branch coverage by each run of `scripts/run coverage`
(profiles in BUILD/profiles), then every branch of the engine that the engine fuzzer's corpus
never takes one way or the other, with its line.

    engine_coverage.py BUILD
"""
import json
import subprocess
import sys
import sysconfig
from pathlib import Path

ENGINE = "shared_ui/code_editing/highlight_engine.cpp"
# The module as the Python running this (the one that ran the tests) names it.
MODULE = "shared_ui" + sysconfig.get_config_var("EXT_SUFFIX")
RUNS = {  # run: its title, the binaries it ran
    "suite": ("the test suite", [MODULE, "tests/native/native_tests"]),
    "fuzz": ("scripts/run fuzz, 60 s", [MODULE]),
    "engine-fuzzer": ("the engine fuzzer's corpus", ["tests/native/engine_fuzzer"]),
}


def engine_coverage(build, run):
    _, binaries = RUNS[run]
    objects = [str(build / b) for b in binaries]
    command = ["llvm-cov", "export", objects[0], *(f"-object={o}" for o in objects[1:]),
               f"-instr-profile={build / 'profiles' / run}.profdata", ENGINE]
    exported = json.loads(subprocess.run(command, check=True, capture_output=True,
                                         text=True).stdout)
    [engine] = [f for f in exported["data"][0]["files"] if f["filename"].endswith(ENGINE)]
    return engine


def main(build):
    build = Path(build).resolve()
    print(f"{ENGINE}: covered / all")
    print(f"  {'':30} {'lines':>20} {'branches':>20}")
    for run, (title, _) in RUNS.items():
        engine = engine_coverage(build, run)
        cells = [f"{s['covered']}/{s['count']} ({s['percent']:.1f}%)"
                 for s in (engine["summary"]["lines"], engine["summary"]["branches"])]
        print(f"  {title:30} {cells[0]:>20} {cells[1]:>20}")
    source = Path(ENGINE).read_text().split("\n")
    print("Branches the engine fuzzer never takes one way (line:column, the way never taken):")
    # A branch: line, column, end line, end column, times true, times false, then file ids, kind.
    fuzzer = engine_coverage(build, "engine-fuzzer")
    for line, column, _, _, true, false, *_ in sorted(fuzzer["branches"]):
        if true == 0 or false == 0:
            never = "either way" if true == false == 0 else "true" if true == 0 else "false"
            print(f"  {line}:{column} never {never}: {source[line - 1].strip()}")


if __name__ == "__main__":
    main(sys.argv[1])

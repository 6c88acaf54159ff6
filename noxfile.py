"""What the project runs, as nox sessions: the module built and tested on every stack a host runs it
on, and the checks around that. `scripts/run` installs the Debian packages and nox, then runs
these (`scripts/run nox -l` lists them).

A stack is an interpreter with a PyQt6 and the Qt it runs on, in a venv of its own with the
module pip-installed into it, building incrementally in a folder of its own:

- debian: Debian's Python with Debian's PyQt6, Qt and pybind11 (.venv-debian, made with the
  system site packages); on Debian 12 that is Python 3.11, Qt 6.4 and pybind11 2.10, on
  Debian 13 Python 3.13, Qt 6.8 and pybind11 2.13;
- pip-3.11, pip-3.12, pip-3.13: that CPython (Debian's own where it is that version, else one
  that pyenv built) in a venv without the system site packages, holding exactly what
  scripts/pip-stack-requirements.txt pins: pip's newest PyQt6 with the Qt it carries, and pip's
  newest pybind11.

nox runs the sessions; the venvs are ours (nox's venv_backend "none"), because every session of a
stack (tests, bench, gallery, fuzz) shares its venv and its incremental build, and a pinned venv
must hold the pins and nothing else, which nox's reused venvs do not promise.
"""
import os
import re
import shutil
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path

import nox

ROOT = Path(__file__).resolve().parent

nox.options.default_venv_backend = "none"
nox.options.download_python = "never"
nox.options.error_on_external_run = False
nox.options.stop_on_first_error = True

PIP_PINS = Path("scripts/pip-stack-requirements.txt")
OLDEST_PINS = Path("scripts/pip-oldest-requirements.txt")
HOST = str(ROOT / "host")
SYSTEM_PYTHON = "/usr/bin/python3"
PIP_VERSIONS = ("3.11", "3.12", "3.13")


def version_of(python):
    result = subprocess.run([python, "-c", "import sys; print('%d.%d' % sys.version_info[:2])"],
                            capture_output=True, text=True, check=True)
    return result.stdout.strip()


def find_python(version):
    """Debian's own CPython `version` when the system has it, else the newest pyenv built."""
    candidates = [Path(f"/usr/bin/python{version}")]
    pyenv = Path(os.environ.get("PYENV_ROOT") or Path.home() / ".pyenv")
    builds = [p for p in pyenv.glob(f"versions/{version}.*/bin/python{version}")
              if re.fullmatch(r"\d+\.\d+\.\d+", p.parent.parent.name)]
    candidates += sorted(builds, key=lambda p: int(p.parent.parent.name.split(".")[2]),
                         reverse=True)
    return next((str(p) for p in candidates if os.access(p, os.X_OK)), None)


@dataclass(frozen=True)
class Stack:
    name: str
    python: str | None  # the interpreter the venv is made from; None: not on this machine
    pip: bool  # pip's PyQt6 (pinned) or the system's

    @property
    def venv(self):
        return ROOT / f".venv-{self.name}"

    @property
    def venv_python(self):
        return str(self.venv / "bin" / "python")

    @property
    def build(self):
        return f"build-{self.name}"

    def tool(self, name):
        """The stack's own build tool (pip's meson on a pip stack), else the system's."""
        own = self.venv / "bin" / name
        return str(own) if own.is_file() else name

    def env(self, **extra):
        """The environment of a command on this stack: its venv's tools first (meson-python runs
        the meson and ninja it finds on PATH), the stand-in host importable, offscreen Qt."""
        return {"PATH": f"{self.venv / 'bin'}{os.pathsep}{os.environ['PATH']}",
                "PYTHONPATH": os.pathsep.join(filter(None, [HOST, os.environ.get("PYTHONPATH")])),
                "QT_QPA_PLATFORM": "offscreen", **extra}


SYSTEM_VERSION = version_of(SYSTEM_PYTHON)
STACKS = {"debian": Stack("debian", SYSTEM_PYTHON, pip=False)}
STACKS.update({f"pip-{v}": Stack(f"pip-{v}", find_python(v), pip=True) for v in PIP_VERSIONS})
PIP_STACKS = [name for name, stack in STACKS.items() if stack.pip]
# What `scripts/run test` runs: the two PyQt6 builds a host on this system meets, Debian's and
# pip's, on the system's own Python. Every other interpreter: `scripts/run test --all`.
QUICK = {"debian", f"pip-{SYSTEM_VERSION}"}


def stacks(command, names, default):
    """Parameters of a session run on each stack in `names`; `default` ones carry the command's
    own name as a tag, which is what `scripts/run COMMAND` selects."""
    return [nox.param(name, id=name, tags=[command] if name in default else []) for name in names]


def pinned_venv(session, venv, python, requirements=None, *pip_options, system_site=False):
    """Makes `venv` from `python` and installs exactly what `requirements` pins, afresh whenever
    the interpreter or the pins change (pip's cache keeps that cheap), else leaves it alone."""
    venv = Path(venv)
    wanted = f"{python}\n{requirements.read_text() if requirements else ''}"
    stamp = venv / "made-from.txt"
    if stamp.is_file() and stamp.read_text() == wanted:
        return
    shutil.rmtree(venv, ignore_errors=True)
    session.run(python, "-m", "venv", *(["--system-site-packages"] if system_site else []),
                str(venv))
    if requirements:
        session.run(str(venv / "bin" / "python"), "-m", "pip", "install", "--quiet",
                    *pip_options, "-r", str(requirements))
    stamp.write_text(wanted)


def ready(session, name, install=True):
    """The stack's venv, made or brought up to date, with the module from this source installed in
    it, the way a user installs it (pip, from an incremental build in the stack's build folder)."""
    stack = STACKS[name]
    if stack.python is None:
        session.error(f"CPython {name.removeprefix('pip-')} is not on this machine (looked for "
                      f"/usr/bin/python{name.removeprefix('pip-')} and pyenv's builds): install "
                      "it, or choose other stacks")
    pinned_venv(session, stack.venv, stack.python, PIP_PINS if stack.pip else None,
                system_site=not stack.pip)
    if install:
        session.run(stack.venv_python, "-m", "pip", "install", "--quiet", "--no-build-isolation",
                    "--no-deps", f"--config-settings=builddir={stack.build}", ".",
                    env=stack.env())
        session.log(subprocess.run(
            [stack.venv_python, "-c", "import sys; from PyQt6.QtCore import *; print("
             "f'{sys.argv[1]}: Python {sys.version.split()[0]}, PyQt6', PYQT_VERSION_STR, 'on Qt',"
             "qVersion(), 'from', QLibraryInfo.path(QLibraryInfo.LibraryPath.LibrariesPath))",
             name], capture_output=True, text=True, check=True).stdout.strip())
    return stack


def meson_build(session, folder, *options, targets=(), env=None):
    """Configures `folder` with `options` (again, if it exists) and builds it, or `targets`."""
    if (ROOT / folder / "meson-private").is_dir():
        session.run("meson", "configure", folder, *options, env=env)
    else:
        session.run("meson", "setup", folder, *options, env=env)
    session.run("meson", "compile", "-C", folder, *targets, env=env)


def pytest(session, python, *args, env):
    # -P keeps the source folder shared_ui/ from standing in for the installed module.
    session.run(python, "-P", "-m", "pytest", "-p", "no:cacheprovider", *args, "tests",
                *session.posargs, env=env)


def pyright(session):
    """pyright for the stub checks, at the version tests/typing/package-lock.json pins."""
    installed = Path("tests/typing/node_modules/.package-lock.json")
    lock = Path("tests/typing/package-lock.json")
    if not installed.is_file() or installed.stat().st_mtime <= lock.stat().st_mtime:
        session.run("npm", "ci", "--prefix", "tests/typing", "--no-audit", "--no-fund",
                    "--loglevel=error")


@nox.session
@nox.parametrize("stack", stacks("test", STACKS, QUICK))
def test(session, stack):
    """The GoogleTest suite and every pytest suite, on one stack."""
    pyright(session)
    stack = ready(session, stack)
    session.run(stack.tool("meson"), "test", "-C", stack.build, "--no-rebuild",
                "--print-errorlogs", env=stack.env())
    pytest(session, stack.venv_python, env=stack.env())


@nox.session(name="test-debug", tags=["test-debug"], default=False)
def test_debug(session):
    """Every test against a debug build on Debian's stack (build-debug/)."""
    # Without NDEBUG pybind11 checks more while it builds functions and classes; a build type that
    # the release run never exercises must not be the one that crashes. libstdc++'s assertions
    # check every index into a standard container, which turns an out-of-range read (that the
    # release build may survive, depending on what lies next in memory) into a failure.
    meson_build(session, "build-debug", "-Dbuildtype=debug", "-Dcpp_args=-D_GLIBCXX_ASSERTIONS")
    session.run("meson", "test", "-C", "build-debug", "--no-rebuild", "--print-errorlogs")
    # conftest.py makes sure that the module the tests import is this build's.
    pytest(session, SYSTEM_PYTHON,
           env=STACKS["debian"].env(SHARED_UI_BUILD=str(ROOT / "build-debug")))


@nox.session(tags=["sanitize"], default=False)
def sanitize(session):
    """Every test under AddressSanitizer and UBSan on Debian's stack (build-sanitize/)."""
    # -fno-sanitize-recover: undefined behaviour stops the process like a memory error does,
    # instead of printing and going on.
    meson_build(session, "build-sanitize", "-Dbuildtype=debugoptimized",
                "-Db_sanitize=address,undefined",
                "-Dcpp_args=-fno-sanitize-recover=all -fno-omit-frame-pointer "
                "-D_GLIBCXX_ASSERTIONS")
    # A report aborts the process: its exit status fails the run, and in pytest the fault handler
    # names the test that was running.
    common = "halt_on_error=1:abort_on_error=1:print_stacktrace=1"
    # The GoogleTest suite is plain C++ and checks leaks too. The interpreter, Qt and PyQt6 keep
    # much of what they allocate until the process ends, so the Python run does not.
    session.run("meson", "test", "-C", "build-sanitize", "--no-rebuild", "--print-errorlogs",
                env={"UBSAN_OPTIONS": common, "ASAN_OPTIONS": f"{common}:detect_leaks=1"})
    # The interpreter is not built with ASan: its runtime must come first in the process, with
    # libstdc++ (loaded late, by the module, its throws would miss ASan's hooks), and Python's own
    # allocator must step aside so that every allocation is checked. Reports go to stderr (with
    # UBSan beside ASan, log_path is not honoured), which pytest must therefore leave alone:
    # --capture=sys, or a report of a process that dies goes down with pytest's capture file.
    preload = " ".join(subprocess.run(["g++", f"-print-file-name={library}"], text=True,
                                      capture_output=True, check=True).stdout.strip()
                       for library in ("libasan.so", "libstdc++.so"))
    pytest(session, SYSTEM_PYTHON, "--capture=sys", env=STACKS["debian"].env(
        LD_PRELOAD=preload, PYTHONMALLOC="malloc", UBSAN_OPTIONS=common,
        ASAN_OPTIONS=f"{common}:detect_leaks=0", SHARED_UI_BUILD=str(ROOT / "build-sanitize")))


@nox.session(tags=["clang"], default=False)
def clang(session):
    """Builds everything with clang (warnings are errors) in build-clang/; runs GoogleTest."""
    # The module is delivered for compilers we cannot run here; a second compiler's warnings catch
    # much of what is not standard C++. meson reads CXX when it first sets a folder up.
    meson_build(session, "build-clang", "-Dbuildtype=release", env={"CXX": "clang++"})
    # The bench's helper too, which no test build makes.
    session.run("meson", "compile", "-C", "build-clang", "bench_helper")
    session.run("meson", "test", "-C", "build-clang", "--no-rebuild", "--print-errorlogs")


def fuzz_build(session, folder, *options, targets=()):
    """Builds `folder` with clang and the engine fuzzer (a folder keeps the compiler it was first
    set up with), on the Qt of Debian's stack, and writes the rule lists the fuzzer reads beside
    it, as the module installed on that stack has them."""
    stack = ready(session, "debian")
    meson_build(session, folder, *options, "-Dqt=system", "-Dengine_fuzzer=true", targets=targets,
                env={"CXX": "clang++"})
    session.run(stack.venv_python, "-P", "tests/native/fuzz/dump_rule_lists.py",
                f"{folder}/tests/native/rule_lists.json", env=stack.env())


@nox.session(name="fuzz-engine", tags=["fuzz-engine"], default=False)
def fuzz_engine(session):
    """The engine fuzzer (libFuzzer) for --seconds N (default 60), after a replay of its seeds;
    minimises a finding and prints its report."""
    seconds = session.posargs[1] if session.posargs[:1] == ["--seconds"] else "60"
    fuzz_build(session, "build-fuzz", "-Dbuildtype=debugoptimized",
               "-Db_sanitize=address,undefined", "-Db_lundef=false",
               "-Dcpp_args=-fno-sanitize-recover=all -fno-omit-frame-pointer",
               targets=["tests/native/engine_fuzzer"])
    fuzzer = "build-fuzz/tests/native/engine_fuzzer"
    findings = ROOT / "build-fuzz/findings"
    shutil.rmtree(findings, ignore_errors=True)
    findings.mkdir(parents=True)
    (ROOT / "build-fuzz/corpus").mkdir(exist_ok=True)
    # New inputs go to the working corpus (the first folder); the seeds are read only.
    fuzzing = subprocess.run([fuzzer, f"-max_total_time={seconds}", "-max_len=4096",
                              "-timeout=30", "-print_final_stats=1",
                              "-dict=tests/native/fuzz/engine.dict",
                              f"-artifact_prefix={findings}/", "build-fuzz/corpus",
                              "tests/native/fuzz/seeds"])
    if fuzzing.returncode == 0:
        return
    found = sorted(path for path in findings.iterdir() if path.is_file())
    if not found:
        session.error(f"the fuzzer failed (exit {fuzzing.returncode}) without a finding")
    minimal = findings / "minimal"
    session.log(f"A finding, {found[0]}: minimising it (log in {findings}/minimise.log)")
    with open(findings / "minimise.log", "w") as log:
        subprocess.run([fuzzer, "-minimize_crash=1", "-max_total_time=120", "-timeout=30",
                        f"-exact_artifact_path={minimal}", str(found[0])], stdout=log,
                       stderr=subprocess.STDOUT)
    if not minimal.is_file():
        shutil.copy(found[0], minimal)
    # A hang is a finding too: its replay must end as the fuzzing did.
    report = subprocess.run([fuzzer, "-timeout=30", str(minimal)], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True).stdout
    # The report, without libFuzzer's stack of the abort that follows it.
    print(report.split("ERROR: libFuzzer: deadly signal")[0])
    session.log(f"Once the engine is mended, keep {minimal} in tests/native/fuzz/seeds/: every run "
                "replays the seeds first.")
    session.error("the engine fuzzer found a difference")


@nox.session(tags=["coverage"], default=False)
def coverage(session):
    """The highlight engine's line and branch coverage by the tests, by `fuzz` and by the engine
    fuzzer's corpus."""
    # One clang build with source-based coverage, every run's profile apart; nothing else (the
    # build's own checks, the rule lists' dump) leaves a profile behind.
    session.env["LLVM_PROFILE_FILE"] = "/dev/null"
    flags = "-fprofile-instr-generate -fcoverage-mapping"
    fuzz_build(session, "build-coverage", "-Dbuildtype=debugoptimized", f"-Dcpp_args={flags}",
               f"-Dcpp_link_args={flags}")
    profiles = ROOT / "build-coverage/profiles"
    shutil.rmtree(profiles, ignore_errors=True)
    profiles.mkdir()
    env = STACKS["debian"].env(SHARED_UI_BUILD=str(ROOT / "build-coverage"))

    def profile(run):
        return {**env, "LLVM_PROFILE_FILE": f"{profiles}/{run}-%p.profraw"}

    session.run("meson", "test", "-C", "build-coverage", "--no-rebuild", env=profile("suite"))
    # As test-debug runs them: the interpreter without the venv, whose installed module is another.
    session.run(SYSTEM_PYTHON, "-P", "-m", "pytest", "-p", "no:cacheprovider", "-q", "tests",
                env=profile("suite"))
    session.run(SYSTEM_PYTHON, "-P", "scripts/fuzz_highlighting.py", "--seconds", "60",
                env={**profile("fuzz"), "PYTHONPATH": f"{ROOT / 'build-coverage'}:{HOST}"})
    # What fuzz-engine has gathered so far (if anything), each input run once.
    (ROOT / "build-fuzz/corpus").mkdir(parents=True, exist_ok=True)
    session.run("build-coverage/tests/native/engine_fuzzer", "-runs=0", "build-fuzz/corpus",
                "tests/native/fuzz/seeds", env=profile("engine-fuzzer"))
    for run in ("suite", "fuzz", "engine-fuzzer"):
        session.run("llvm-profdata", "merge", "-sparse",
                    *map(str, profiles.glob(f"{run}-*.profraw")),
                    "-o", f"{profiles}/{run}.profdata")
    session.run(SYSTEM_PYTHON, "-P", "scripts/engine_coverage.py", "build-coverage")


@nox.session(default=False)
@nox.parametrize("stack", stacks("bench", STACKS, STACKS))
def bench(session, stack):
    """The highlighting benchmark on one stack, its tables saved in bench/results/."""
    stack = ready(session, stack)
    results = ROOT / f"bench/results/{stack.name}.json"
    results.unlink(missing_ok=True)
    # The floors' helper is built on request only, and never installed: take it from the build.
    session.run(stack.tool("meson"), "compile", "-C", stack.build, "bench_helper",
                env=stack.env())
    session.run(stack.venv_python, "-P", "bench/run.py", *session.posargs, "--save", str(results),
                env=stack.env(SHARED_UI_BENCH_HELPER=str(ROOT / stack.build / "bench")))


@nox.session(name="bench-side-by-side", tags=["bench"], default=False)
def bench_side_by_side(session):
    """The saved tables of every stack's last bench run, each row of one next to the others'."""
    saved = [ROOT / f"bench/results/{name}.json" for name in STACKS]
    session.run(SYSTEM_PYTHON, "-P", "bench/side_by_side.py",
                *(str(path) for path in saved if path.is_file()))


@nox.session(default=False)
@nox.parametrize("stack", stacks("gallery", STACKS, {"debian"}))
def gallery(session, stack):
    """The widget gallery (--screenshot DIR, or no display: PNGs of every page)."""
    stack = ready(session, stack)
    session.run(stack.venv_python, "examples/gallery.py", *session.posargs, env=stack.env())


@nox.session(default=False)
@nox.parametrize("stack", stacks("fuzz", STACKS, {"debian"}))
def fuzz(session, stack):
    """Native highlighting against the rules loop on documents hypothesis draws
    ([--seconds N] [--seed S]); prints the minimal difference."""
    stack = ready(session, stack)
    session.run(stack.venv_python, "-P", "scripts/fuzz_highlighting.py", *session.posargs,
                env=stack.env())


@nox.session(tags=["pictures"], default=False)
def pictures(session):
    """Renders the guide's pictures into docs/pictures/."""
    stack = ready(session, "debian")
    session.run(stack.venv_python, "-P", "examples/pictures.py", "docs/pictures", env=stack.env())


@nox.session(tags=["mutate"], default=False)
def mutate(session):
    """The mutation check (scripts/mutate --help)."""
    # It builds and tests its own copy of the sources: no module to install. Its mutant maker
    # lives in a venv of its own.
    pinned_venv(session, "build-mutate/venv", SYSTEM_PYTHON,
                Path("scripts/mutate-requirements.txt"), "--no-deps", "--require-hashes")
    session.run("build-mutate/venv/bin/python", "-P", "scripts/mutate", *session.posargs)


@nox.session(name="wheel-check", default=False)
@nox.parametrize("stack", stacks("wheel-check", PIP_STACKS, PIP_STACKS))
def wheel_check(session, stack):
    """The wheel a host on pip's PyQt6 builds with this interpreter, installed into venvs that hold
    nothing else but what it requires: pip's newest PyQt6, and the oldest the module supports."""
    stack = ready(session, stack, install=False)
    out = ROOT / "build-wheel-check" / stack.name
    shutil.rmtree(out, ignore_errors=True)
    # As a host developer on pip's PyQt6 builds it: in the venv that has that PyQt6, with pip's
    # build isolation (build tools from the index, the target's PyQt6 out of the build's reach).
    session.run(stack.venv_python, "-m", "pip", "wheel", "--quiet", "--no-deps", "-w", str(out),
                ".")
    (wheel,) = out.glob("shared_ui-*.whl")
    for pins in (PIP_PINS, OLDEST_PINS):
        venv = out / f"venv-{pins.stem}"
        python = str(venv / "bin" / "python")
        session.run(stack.python, "-m", "venv", str(venv))
        session.run(python, "-m", "pip", "install", "--quiet", "-c", str(pins), str(wheel))
        session.run(python, "-m", "pip", "list", "--format=freeze")
        session.run(python, "-m", "pip", "check")
        # The loader keeps the first Qt library of a name it meets: either import order must
        # bring in the one inside this venv's PyQt6.
        for first in ("shared_ui", "PyQt6.QtCore"):
            session.run(python, "-P", "scripts/check_wheel.py", first,
                        env={"PYTHONPATH": HOST, "QT_QPA_PLATFORM": "offscreen"})


@nox.session(tags=["debian13"], default=False)
def debian13(session):
    """The README's test command in a Debian 13 chroot, on a clone of this working tree: Debian
    13's Python, Qt, PyQt6 and pybind11 as one more stack, and pip's on its Python."""
    session.run(SYSTEM_PYTHON, "scripts/debian_chroot.py", "--", "scripts/run", "test",
                *session.posargs)

#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with, on Debian 12 or 13.
# Idempotent: when every package is present it changes nothing and needs no network.
set -euo pipefail

packages=(
    # build
    g++ clang pkg-config meson ninja-build python3-mesonpy python3-dev python3-venv python3-pip
    pybind11-dev qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
    # the binding the host runs on
    python3-pyqt6 python3-pyqt6.qtcharts python3-pyqt6.sip
    # tests
    python3-pytest python3-pytestqt python3-hypothesis libgtest-dev xvfb xauth
    # the engine fuzzer: clang's runtime (below), which brings libFuzzer; LLVM's tools (the
    # symbols in sanitizer reports, coverage)
    llvm
    # the stub checks: mypy and its stubtest; node for pyright, which npm installs as pinned
    # in tests/typing
    python3-mypy nodejs
    # fonts so that offscreen rendering and font metrics are realistic
    fonts-dejavu-core
)

# Debian's npm, unless the installed node brings its own.
command -v npm >/dev/null || packages+=(npm)

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# What installed packages provide counts as there: on Debian 13 libqt6opengl6-dev is no package
# of its own but part of qt6-base-dev, which provides its name (and apt installs that for it).
provided=$(dpkg-query -W -f='${Status}\t${Provides}\n' 2>/dev/null |
    awk -F'\t' '$1 == "install ok installed" { print $2 }' |
    tr ',|' '\n\n' | sed 's/^ *//; s/[ :].*//' | sort -u)
present() {
    installed "$1" || grep -qxF "$1" <<<"$provided"
}

# libFuzzer has to come from the clang that `clang` runs, whose version is in the runtime's
# package name (libclang-rt-14-dev on Debian 12, libclang-rt-19-dev on 13). The release's clang
# package depends on that clang-N: read from the installed clang, or from the archive's when it
# is not installed yet (after apt-get update, below).
clang_major() {
    sed -n 's/.*\bclang-\([0-9][0-9]*\)\b.*/\1/p' <<<"$1" | head -n 1
}
clang_runtime() {
    local major
    major=$(clang_major "$1")
    if [ -z "$major" ]; then
        echo "install-deps: no clang-N among the dependencies of clang: $1" >&2
        return 1
    fi
    echo "libclang-rt-$major-dev"
}

missing=()
for p in "${packages[@]}"; do
    present "$p" || missing+=("$p")
done
runtime=""
if installed clang; then
    runtime=$(clang_runtime "$(dpkg-query -W -f='${Depends}' clang)")
    present "$runtime" || missing+=("$runtime")
fi
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
if [ -z "$runtime" ]; then
    runtime=$(clang_runtime "$(apt-cache show --no-all-versions clang | sed -n 's/^Depends: //p')")
    missing+=("$runtime")
fi
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

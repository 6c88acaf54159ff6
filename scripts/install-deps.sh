#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds, tests and runs with.
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
    # the engine fuzzer: clang's runtime, which brings libFuzzer; LLVM's tools (the symbols in
    # sanitizer reports, coverage)
    libclang-rt-14-dev llvm
    # the stub checks: mypy and its stubtest; node for pyright, which npm installs as pinned
    # in tests/typing
    python3-mypy nodejs
    # fonts so that offscreen rendering and font metrics are realistic
    fonts-dejavu-core
)

# Debian's npm, unless the installed node brings its own.
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

"""The build backend (pyproject.toml): meson-python, with the wheel's requirements made to fit
the Qt that the build linked.

pyproject.toml declares what every build needs. A module linked to the Qt inside pip's PyQt6
needs more: pip's PyQt6-Charts, whose Qt Charts library it links. That must not be declared for a
module linked to the system Qt: it runs beside the system's PyQt6, whose Charts module installs
no metadata, so pip would install its own PyQt6-Charts, and pip's Qt with it, beside the
system's. meson.build writes the further requirements of the Qt it linked to
pyqt6-requirements.txt in the build folder (nothing for the system Qt), which go into the wheel's
metadata beside pyproject.toml's.
"""
import base64
import contextlib
import hashlib
import json
import os
import re
import tempfile
import zipfile

import mesonpy
from mesonpy import (  # noqa: F401  (the hooks that need nothing added)
    build_sdist, get_requires_for_build_sdist, get_requires_for_build_wheel)


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    return _build(mesonpy.build_wheel, wheel_directory, config_settings, metadata_directory)


if hasattr(mesonpy, "build_editable"):
    get_requires_for_build_editable = mesonpy.get_requires_for_build_editable

    def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
        return _build(mesonpy.build_editable, wheel_directory, config_settings, metadata_directory,
                      editable=True)


def _build(hook, wheel_directory, config_settings, metadata_directory, editable=False):
    settings = dict(config_settings or {})
    with contextlib.ExitStack() as stack:
        if "builddir" not in settings:
            # An editable install imports the module from its build folder: that one must stay.
            settings["builddir"] = ("build-editable" if editable
                                    else stack.enter_context(tempfile.TemporaryDirectory()))
        name = hook(wheel_directory, settings, metadata_directory)
        with open(os.path.join(settings["builddir"], "pyqt6-requirements.txt")) as file:
            requirements = file.read().splitlines()
        # An editable install runs the module where it was built, with the build's run path.
        if requirements and not editable:
            _check_run_paths(settings["builddir"])
    if requirements:
        _add_requirements(os.path.join(wheel_directory, name), requirements)
    return name


def _check_run_paths(builddir):
    # A module linked to pip's Qt finds it through its run path, which meson-python >= 0.22 sets
    # from meson's install_rpath, clearing the build folder's, as far as meson (>= 1.9) reports
    # both. Older ones leave the build folder's run path in the wheel: refuse rather than ship it.
    def read(name):
        with open(os.path.join(builddir, "meson-info", name)) as file:
            return json.load(file)

    meson = read("meson-info.json")["meson_version"]["full"]
    targets = read("intro-install_plan.json")["targets"].values()
    version = tuple(int(part) for part in mesonpy.__version__.split(".")[:2])
    if version < (0, 22) or not all("build_rpaths" in target for target in targets):
        raise RuntimeError(
            "a module linked to the Qt of pip's PyQt6 needs meson-python >= 0.22 and meson >= 1.9 "
            f"to set its run path; found meson-python {mesonpy.__version__} and meson {meson}")


def _add_requirements(wheel, requirements):
    with zipfile.ZipFile(wheel) as archive:
        entries = [(info, archive.read(info)) for info in archive.infolist()]
    metadata_name = next(info.filename for info, _ in entries
                         if re.fullmatch(r"[^/]+\.dist-info/METADATA", info.filename))
    files = {}
    for info, data in entries:
        if info.filename == metadata_name:
            # The headers end at the first blank line; the README follows as the description.
            headers, blank, body = data.decode().partition("\n\n")
            lines = headers.split("\n") + [f"Requires-Dist: {line}" for line in requirements]
            data = ("\n".join(lines) + blank + body).encode()
        files[info.filename] = (info, data)
    record_name = metadata_name.replace("/METADATA", "/RECORD")
    data = files[metadata_name][1]
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    record = [f"{metadata_name},sha256={digest},{len(data)}" if row.startswith(metadata_name + ",")
              else row for row in files[record_name][1].decode().splitlines()]
    files[record_name] = (files[record_name][0], ("\n".join(record) + "\n").encode())
    with zipfile.ZipFile(wheel, "w", zipfile.ZIP_DEFLATED) as archive:
        for info, data in files.values():
            archive.writestr(info, data)

"""Run by meson.build with the Python that builds the module: prints the folder of the Qt that
this Python's PyQt6 carries (pip's wheels do, in site-packages/PyQt6/Qt6/lib; the system's PyQt6
does not), then what a module linked to that Qt requires of PyQt6 and PyQt6-Charts; nothing when
there is no such Qt.

Under pip's build isolation this Python cannot import the target's PyQt6, but its installation
paths still name the target's site-packages (meson's own py.get_path() does not in a venv made
from Debian's Python: it reports the system's scheme).
"""
import importlib.metadata
import os
import sysconfig

for site in dict.fromkeys(sysconfig.get_path(name) for name in ("platlib", "purelib")):
    libdir = os.path.join(site, "PyQt6", "Qt6", "lib")
    if os.path.isfile(os.path.join(libdir, "libQt6Core.so.6")):
        break
else:
    raise SystemExit(0)

print(libdir)
installed = {dist.metadata["Name"].lower(): dist.version
             for dist in importlib.metadata.distributions(path=[site])}
# A module linked to Qt 6.x needs Qt 6.x or a later Qt 6 (the libraries carry a version tag that
# the loader checks), and each PyQt6 release requires the Qt of its own minor version.
for name in ("PyQt6", "PyQt6-Charts"):
    if name.lower() in installed:
        major, minor = installed[name.lower()].split(".")[:2]
        print(f"{name} >= {major}.{minor}, < {int(major) + 1}")

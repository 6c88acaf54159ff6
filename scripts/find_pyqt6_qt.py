"""Run by meson.build with the Python that builds the module: prints the folder of the Qt that
this Python's PyQt6 carries (pip's wheels do, in site-packages/PyQt6/Qt6/lib; the system's PyQt6
does not); nothing when there is no such Qt.

Under pip's build isolation this Python cannot import the target's PyQt6, but its installation
paths still name the target's site-packages (meson's own py.get_path() does not in a venv made
from Debian's Python: it reports the system's scheme).
"""
import os
import sysconfig

for site in dict.fromkeys(sysconfig.get_path(name) for name in ("platlib", "purelib")):
    libdir = os.path.join(site, "PyQt6", "Qt6", "lib")
    if os.path.isfile(os.path.join(libdir, "libQt6Core.so.6")):
        print(libdir)
        break

"""A small host window that shows every widget of shared_ui on the stand-in host.

    python examples/gallery.py                    opens the window (needs a display)
    python examples/gallery.py --screenshot DIR   renders every page to DIR/<nn>_<page>.png and exits

Without a display it always renders offscreen (into gallery-shots/ unless DIR is given).
"""
import argparse
import importlib
import os
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "host"))
sys.path.insert(0, str(HERE))

# One module per subsystem under pages/, shown in this order; each has TITLE and build(), and may
# have screenshots(page, out_dir, prefix) for pictures beyond the page itself (dialogs, tool tips).
PAGE_MODULES = ["value_types", "minihist", "code_editing", "feedback", "model_access"]


def has_display() -> bool:
    return bool(os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"))


def load_pages():
    pages = []
    for name in PAGE_MODULES:
        try:
            pages.append(importlib.import_module(f"pages.{name}"))
        except ModuleNotFoundError as exc:
            if exc.name != f"pages.{name}":
                raise
    return pages


def build_window(pages):
    from PyQt6.QtWidgets import QMainWindow, QTabWidget

    window = QMainWindow()
    window.setWindowTitle("shared_ui gallery")
    tabs = QTabWidget(window)
    window.setCentralWidget(tabs)
    built = []
    for page in pages:
        widget = page.build()
        tabs.addTab(widget, page.TITLE)
        built.append((page, widget))
    window.resize(1100, 760)
    return window, tabs, built


def render(out_dir: Path) -> list:
    from PyQt6.QtWidgets import QApplication

    out_dir.mkdir(parents=True, exist_ok=True)
    window, tabs, built = build_window(load_pages())
    window.show()
    written = []
    for index, (page, widget) in enumerate(built):
        tabs.setCurrentIndex(index)
        QApplication.processEvents()
        prefix = f"{index + 1:02d}_{page.__name__.rsplit('.', 1)[-1]}"
        path = out_dir / f"{prefix}.png"
        window.grab().save(str(path))
        written.append(path)
        if hasattr(page, "screenshots"):
            written.extend(page.screenshots(widget, out_dir, prefix))
    window.close()
    return written


def main(argv=None):
    parser = argparse.ArgumentParser(description=(__doc__ or "").partition("\n")[0])
    parser.add_argument("--screenshot", metavar="DIR", type=Path,
                        help="render every page to PNG files in DIR and exit")
    args = parser.parse_args(argv)
    offscreen = args.screenshot is not None or not has_display()
    if offscreen:
        os.environ["QT_QPA_PLATFORM"] = "offscreen"

    from PyQt6.QtWidgets import QApplication

    app = QApplication.instance() or QApplication(sys.argv[:1])
    if offscreen:
        out_dir = args.screenshot or HERE.parent / "gallery-shots"
        for path in render(out_dir):
            print(path)
        return 0
    window, _tabs, _built = build_window(load_pages())
    window.show()
    return app.exec()


if __name__ == "__main__":
    sys.exit(main())

"""Writes the highlighters' rule lists, as the module builds them, for the engine fuzzer:

    dump_rule_lists.py OUT.json

Each list is (pattern, group, format id) per rule, with the format ids numbered as the native path
numbers them (consecutive rules with equal formats share one; the multi-line pass gets one of its
own), in the order highlight_engine_fuzzer.cpp documents: the Python, SQL and formula
highlighters, the formula highlighter outside formula mode, and with function names (the names
left to the fuzzer, which gives them the format `function_format`); each light, then dark.
"""
import json
import sys

from PyQt6.QtGui import QGuiApplication, QTextDocument
from velmora.app_state import app_state_glbl

from shared_ui import VLMHighlighter, VLMPythonHighlighter, VLMSQLHighlighter

VARIANTS = [(VLMPythonHighlighter, {}), (VLMSQLHighlighter, {}), (VLMHighlighter, {}),
            (VLMHighlighter, {"vlm_formula_mode": False}),
            (VLMHighlighter, {"arr_function_name": ["F"]})]


def numbered(highlighter):
    formats, rules = [], []

    def format_id(fmt, fresh=False):
        if fresh or not formats or formats[-1] != fmt:
            formats.append(fmt)
        return len(formats) - 1

    for regex, group, fmt in highlighter.rules:
        rules.append([regex.pattern(), group, format_id(fmt)])
    entry = {"rules": rules}
    if isinstance(highlighter, VLMPythonHighlighter):
        _, in_state, fmt = highlighter.tri_double
        entry["pass"] = [in_state, format_id(fmt, fresh=True)]
    return entry


def main(out):
    application = QGuiApplication.instance() or QGuiApplication([])  # noqa: F841 (formats need it)
    document = QTextDocument()
    lists = []
    for cls, kwargs in VARIANTS:
        for dark in (False, True):
            # Highlighters choose their palette when they are made.
            app_state_glbl.is_dark_mode = dark
            entry = numbered(cls(document, **kwargs))
            if "arr_function_name" in kwargs:
                # The rule of the one name, last: the fuzzer makes such rules of its own names.
                entry["function_format"] = entry["rules"].pop()[2]
            lists.append(entry)
    with open(out, "w", encoding="utf-8") as file:
        json.dump(lists, file)


if __name__ == "__main__":
    main(sys.argv[1])

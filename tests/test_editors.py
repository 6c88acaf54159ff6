"""The code editor's key handling and both editors' set-up, driven as a user types. In the texts,
'|' marks the cursor and '^' the other end of a selection."""
import pytest
from PyQt6.QtCore import Qt
from PyQt6.QtGui import QFont, QTextCursor, QTextOption
from PyQt6.QtWidgets import QPlainTextEdit

import shared_ui
from shared_ui import VLMCodeTextEdit, VLMSQLTextEdit

Key = Qt.Key
Mod = Qt.KeyboardModifier
CODE, SQL = VLMCodeTextEdit, VLMSQLTextEdit


class WhileEditor(VLMCodeTextEdit):
    # A host's own indentation keywords: the editor reads them when a key is pressed.
    def __init__(self, parent):
        super().__init__(parent)
        self.arr_indent_keywords = ["while "]


def put(editor, marked):
    editor.setPlainText(marked.replace("|", "").replace("^", ""))
    position = marked.replace("^", "").index("|")
    anchor = marked.replace("|", "").find("^")
    cursor = editor.textCursor()
    cursor.setPosition(position if anchor < 0 else anchor)
    cursor.setPosition(position, QTextCursor.MoveMode.KeepAnchor)
    editor.setTextCursor(cursor)


def shown(editor):
    text, cursor = editor.toPlainText(), editor.textCursor()
    marks = [(cursor.position(), "|")] + [(cursor.anchor(), "^")] * cursor.hasSelection()
    for position, mark in sorted(marks, reverse=True):
        text = text[:position] + mark + text[position:]
    return text


# A host may replace a highlighter class in the module: the editor makes its highlighter through
# the module, and the code editor passes its flag on.
@pytest.mark.parametrize("cls, kwargs, extra, highlighter, flag", [
    (CODE, {}, 6, "VLMPythonHighlighter", False),
    (CODE, {"highlight_triple_string": True}, 6, "VLMPythonHighlighter", True),
    (SQL, {}, 3, "VLMSQLHighlighter", None),
])
def test_editor_font_wrapping_and_highlighter(page, monkeypatch, cls, kwargs, extra, highlighter, flag):
    monkeypatch.setattr(shared_ui, highlighter, type("Host", (getattr(shared_ui, highlighter),), {}))
    default_size = QPlainTextEdit(page).document().defaultFont().pointSize()
    editor = cls(parent=page, **kwargs)
    font = editor.document().defaultFont()
    assert (font.family(), font.weight(), font.pointSize()) == (
        "Courier New", QFont.Weight.Medium, default_size + extra)
    assert editor.wordWrapMode() == QTextOption.WrapMode.NoWrap and editor.parent() is page
    assert type(editor.highlighter) is getattr(shared_ui, highlighter)
    assert editor.highlighter.document() is editor.document()
    assert getattr(editor.highlighter, "highlight_triple_string", None) is flag
    assert cls is SQL or editor.arr_indent_keywords == [
        "def ", "if ", "else", "elif ", "for ", "try:", "except:", "finally:"]


# Return at the end of a line (in the second line): the new line that follows.
RETURNS = [
    ("    x = 1", " " * 4),
    ("x = 1", ""),
    (" " * 8, " " * 8),
    ("\tif x:", " " * 4),
    (" \tx", "  "),
    ("elsewhere = 1", " " * 4),
    ("for_each(x)", ""),
    ("while x:", ""),
    ("if(x):", ""),
    ("if x: return", " " * 4),
    ("  try:", " " * 6),
    ("", ""),
]
ENTER_KEYS = [(Key.Key_Return, Mod.NoModifier), (Key.Key_Enter, Mod.KeypadModifier)]


@pytest.mark.parametrize("cls, before, key, modifier, after", [
    *((CODE, f"first\n{line}|", key, modifier, f"first\n{line}\n{new_line}|")
      for line, new_line in RETURNS for key, modifier in ENTER_KEYS),
    (CODE, "    if x:| y", Key.Key_Return, Mod.NoModifier, "    if x:\n| y"),
    (CODE, "a|b", Key.Key_Tab, Mod.NoModifier, "a    |b"),
    (CODE, "a|b", Key.Key_Tab, Mod.ControlModifier, "a    |b"),
    (CODE, "^a  |  b", Key.Key_Tab, Mod.NoModifier, "    |  b"),
    (CODE, " " * 8 + "|", Key.Key_Backspace, Mod.NoModifier, "    |"),
    (CODE, "   |", Key.Key_Backspace, Mod.NoModifier, "  |"),
    (CODE, "    x|", Key.Key_Backspace, Mod.NoModifier, "    |"),
    (CODE, "    |", Key.Key_Backspace, Mod.NoModifier, "|"),
    (CODE, "    |x", Key.Key_Backspace, Mod.NoModifier, "   |x"),
    (CODE, "\t\t\t\t|", Key.Key_Backspace, Mod.NoModifier, "|"),
    # Only the line's content counts: from inside its blanks the four deletions run on across
    # the line break.
    (CODE, "ab\n  |    ", Key.Key_Backspace, Mod.NoModifier, "a|    "),
    # Home and End stay in the line and never select.
    *((CODE, "first\n    x|  = 1\nlast", key, modifier, after)
      for key, after in [(Key.Key_Home, "first\n|    x  = 1\nlast"),
                         (Key.Key_End, "first\n    x  = 1|\nlast")]
      for modifier in [Mod.NoModifier, Mod.ShiftModifier, Mod.ControlModifier]),
    (CODE, "x =| 1", Key.Key_Left, Mod.NoModifier, "x |= 1"),
    (CODE, "x = |1", Key.Key_Delete, Mod.NoModifier, "x = |"),
    (CODE, "x|", "=", Mod.NoModifier, "x=|"),
    (WhileEditor, "while x:|", Key.Key_Return, Mod.NoModifier, "while x:\n    |"),
    (WhileEditor, "if y:|", Key.Key_Return, Mod.NoModifier, "if y:\n|"),
    (SQL, "    SELECT a|", Key.Key_Return, Mod.NoModifier, "    SELECT a\n|"),
    (SQL, "a|b", Key.Key_Tab, Mod.NoModifier, "a\t|b"),
], ids=lambda v: getattr(v, "name", None) or getattr(v, "__name__", None))
def test_keys(qtbot, page, cls, before, key, modifier, after):
    editor = cls(page)
    put(editor, before)
    qtbot.keyClick(editor, key, modifier)
    assert shown(editor) == after


"""The code editor's key handling and both editors' set-up, driven as a user types."""
import pytest
from PyQt6.QtCore import Qt
from PyQt6.QtGui import QFont, QTextCursor, QTextOption
from PyQt6.QtWidgets import QPlainTextEdit, QWidget

import shared_ui
from shared_ui import VLMCodeTextEdit, VLMPythonHighlighter, VLMSQLHighlighter, VLMSQLTextEdit

Key = Qt.Key
Mod = Qt.KeyboardModifier


@pytest.fixture
def parent(qtbot):
    widget = QWidget()
    qtbot.addWidget(widget)
    return widget


@pytest.fixture
def code(parent):
    return VLMCodeTextEdit(parent)


def put(editor, text, line=None, column=None):
    """Sets the text and puts the cursor at (line, column), by default at the very end."""
    editor.setPlainText(text)
    cursor = editor.textCursor()
    if line is None:
        cursor.movePosition(QTextCursor.MoveOperation.End)
    else:
        block = editor.document().findBlockByNumber(line)
        cursor.setPosition(block.position() + column)
    editor.setTextCursor(cursor)


def cursor_at(editor):
    cursor = editor.textCursor()
    return cursor.blockNumber(), cursor.positionInBlock()


@pytest.mark.parametrize("cls, extra, highlighter", [
    (VLMCodeTextEdit, 6, VLMPythonHighlighter),
    (VLMSQLTextEdit, 3, VLMSQLHighlighter),
])
def test_editor_font_wrapping_and_highlighter(parent, cls, extra, highlighter):
    plain = QPlainTextEdit(parent)
    default_size = plain.document().defaultFont().pointSize()
    editor = cls(parent=parent)
    font = editor.document().defaultFont()
    assert font.family() == "Courier New"
    assert font.weight() == QFont.Weight.Medium
    assert font.pointSize() == default_size + extra
    assert editor.wordWrapMode() == QTextOption.WrapMode.NoWrap
    assert type(editor.highlighter) is highlighter
    assert editor.highlighter.document() is editor.document()
    assert editor.parent() is parent
    editor.setPlainText("int x  -- 1")
    assert editor.document().begin().layout().formats()


def test_code_editor_passes_the_flag_on_and_uses_the_module_global(parent, monkeypatch):
    assert VLMCodeTextEdit(parent, highlight_triple_string=True).highlighter.highlight_triple_string
    made = []

    class Recording(VLMPythonHighlighter):
        def __init__(self, *args):
            made.append(args[1:])
            super().__init__(*args)

    monkeypatch.setattr(shared_ui, "VLMPythonHighlighter", Recording)
    editor = VLMCodeTextEdit(parent)
    assert made == [(False,)] and isinstance(editor.highlighter, Recording)
    assert editor.arr_indent_keywords == [
        "def ", "if ", "else", "elif ", "for ", "try:", "except:", "finally:"]


@pytest.mark.parametrize("line, new_line", [
    ("    if x > 0:", " " * 8),
    ("def f():", " " * 4),
    ("    x = 1", " " * 4),
    ("x = 1", ""),
    (" " * 8, " " * 8),
    ("\tif x:", " " * 4),
    (" \tx", "  "),
    ("elsewhere = 1", " " * 4),
    ("for_each(x)", ""),
    ("while x:", ""),
    ("with f:", ""),
    ("class A:", ""),
    ("if(x):", ""),
    ("if x: return", " " * 4),
    ("  try:", " " * 6),
    ("finally:", " " * 4),
    ("", ""),
])
@pytest.mark.parametrize("key, modifier", [
    (Key.Key_Return, Mod.NoModifier),
    (Key.Key_Enter, Mod.KeypadModifier),
])
def test_return_at_line_end_indents(qtbot, code, line, new_line, key, modifier):
    put(code, "first\n" + line)
    qtbot.keyClick(code, key, modifier)
    assert code.toPlainText() == "first\n" + line + "\n" + new_line
    assert cursor_at(code) == (2, len(new_line))


def test_return_inside_a_line_breaks_it_without_indentation(qtbot, code):
    put(code, "    if x: y", line=0, column=9)
    qtbot.keyClick(code, Key.Key_Return)
    assert code.toPlainText() == "    if x:\n y"
    assert cursor_at(code) == (1, 0)


def test_host_subclass_keywords_are_used(qtbot, parent):
    class Host(VLMCodeTextEdit):
        def __init__(self, parent):
            super().__init__(parent)
            self.arr_indent_keywords = ["while "]

    editor = Host(parent)
    put(editor, "while x:")
    qtbot.keyClick(editor, Key.Key_Return)
    put(editor, editor.toPlainText() + "\nif y:")
    qtbot.keyClick(editor, Key.Key_Return)
    assert editor.toPlainText() == "while x:\n    \nif y:\n"


@pytest.mark.parametrize("modifier", [Mod.NoModifier, Mod.ControlModifier])
def test_tab_inserts_four_blanks(qtbot, code, modifier):
    put(code, "ab", line=0, column=1)
    qtbot.keyClick(code, Key.Key_Tab, modifier)
    assert code.toPlainText() == "a    b"
    cursor = code.textCursor()
    cursor.setPosition(0)
    cursor.setPosition(3, QTextCursor.MoveMode.KeepAnchor)
    code.setTextCursor(cursor)
    qtbot.keyClick(code, Key.Key_Tab)
    assert code.toPlainText() == "    " + "  b"
    assert "\t" not in code.toPlainText()


@pytest.mark.parametrize("text, line, column, after, cursor", [
    (" " * 8, 0, 8, " " * 4, (0, 4)),
    (" " * 3, 0, 3, "  ", (0, 2)),
    ("    x", 0, 5, "    ", (0, 4)),
    ("    ", 0, 4, "", (0, 0)),
    ("ab\n" + " " * 6, 1, 2, "a" + " " * 4, (0, 1)),
    ("\t\t\t\t", 0, 4, "", (0, 0)),
    ("    x", 0, 4, "   x", (0, 3)),
])
def test_backspace(qtbot, code, text, line, column, after, cursor):
    put(code, text, line, column)
    qtbot.keyClick(code, Key.Key_Backspace)
    assert code.toPlainText() == after
    assert cursor_at(code) == cursor


@pytest.mark.parametrize("key, column", [(Key.Key_Home, 0), (Key.Key_End, 9)])
@pytest.mark.parametrize("modifier", [Mod.NoModifier, Mod.ShiftModifier, Mod.ControlModifier])
def test_home_and_end_stay_in_the_line_and_never_select(qtbot, code, key, column, modifier):
    put(code, "first\n    x = 1\nlast", line=1, column=5)
    qtbot.keyClick(code, key, modifier)
    assert cursor_at(code) == (1, column)
    assert not code.textCursor().hasSelection()


def test_other_keys_reach_the_base_editor(qtbot, code):
    put(code, "x")
    qtbot.keyClicks(code, " = 1")
    qtbot.keyClick(code, Key.Key_Left)
    qtbot.keyClick(code, Key.Key_Delete)
    assert code.toPlainText() == "x = "


def test_sql_editor_keeps_the_base_key_handling(qtbot, parent):
    editor = VLMSQLTextEdit(parent)
    put(editor, "    SELECT a")
    qtbot.keyClick(editor, Key.Key_Return)
    qtbot.keyClick(editor, Key.Key_Tab)
    assert editor.toPlainText() == "    SELECT a\n\t"
    assert not hasattr(editor, "arr_indent_keywords")
    assert VLMSQLTextEdit.__init__.__doc__ is None

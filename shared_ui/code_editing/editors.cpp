// VLMCodeTextEdit (Python code, auto-indenting) and VLMSQLTextEdit: plain-text editors in a
// fixed-pitch font without wrapping, each owning the highlighter on its document.
#include "code_editing/code_editing.hpp"
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"

namespace shared_ui {
namespace {

const char *const indent_step = "    ";

// Courier New, medium weight, `extra_points` above the document's default size, no wrapping.
void set_up_editor_font(py::handle self, int extra_points) {
    py::object document = self.attr("document")();
    py::object font = document.attr("defaultFont")();
    font.attr("setFamily")("Courier New");
    font.attr("setWeight")(global("QFont").attr("Weight").attr("Medium"));
    font.attr("setPointSize")(font.attr("pointSize")() + py::int_(extra_points));
    self.attr("document")().attr("setDefaultFont")(font);
    self.attr("setWordWrapMode")(global("QTextOption").attr("WrapMode").attr("NoWrap"));
}

void code_init(py::object self, py::object parent, py::object highlight_triple_string) {
    super_of("VLMCodeTextEdit", self).attr("__init__")(parent);
    py::list keywords;
    for (const char *entry :
         {"def ", "if ", "else", "elif ", "for ", "try:", "except:", "finally:"})
        keywords.append(entry);
    self.attr("arr_indent_keywords") = keywords;
    set_up_editor_font(self, 6);
    self.attr("highlighter") =
        global("VLMPythonHighlighter")(self.attr("document")(), highlight_triple_string);
}

void base_key_press(py::handle self, py::handle e) {
    global("QPlainTextEdit").attr("keyPressEvent")(self, e);
}

void move_in_line(py::handle self, const char *operation) {
    py::object cursor_class = global("QTextCursor");
    py::object text_cursor = self.attr("textCursor")();
    text_cursor.attr("movePosition")(cursor_class.attr("MoveOperation").attr(operation),
                                     cursor_class.attr("MoveMode").attr("MoveAnchor"), 1);
    self.attr("setTextCursor")(text_cursor);
}

void code_key_press(py::object self, py::object e) {
    py::object key = e.attr("key")();
    py::object current_line = self.attr("textCursor")().attr("block")().attr("text")();
    py::object l_strip_current_line = current_line.attr("lstrip")();
    const size_t spaces_at_left = py::len(current_line) - py::len(l_strip_current_line);

    py::object keys = global("Qt").attr("Key");
    auto is_key = [&](const char *name) { return key.equal(keys.attr(name)); };

    if ((is_key("Key_Return") || is_key("Key_Enter")) &&
        py::bool_(self.attr("textCursor")().attr("atBlockEnd")())) {
        base_key_press(self, e);
        for (py::handle entry : self.attr("arr_indent_keywords")) {
            if (py::bool_(l_strip_current_line.attr("startswith")(entry))) {
                self.attr("insertPlainText")(indent_step);
                break;
            }
        }
        if (py::bool_(current_line.attr("startswith")(" ")))
            self.attr("insertPlainText")(py::str(std::string(spaces_at_left, ' ')));
    } else if (is_key("Key_Tab")) {
        self.attr("insertPlainText")(indent_step);
    } else if (is_key("Key_Backspace")) {
        const bool blank_indented = py::len(l_strip_current_line) == 0 && spaces_at_left >= 4;
        for (int i = 0; i < (blank_indented ? 4 : 1); ++i)
            base_key_press(self, e);
    } else if (is_key("Key_Home")) {
        move_in_line(self, "StartOfLine");
    } else if (is_key("Key_End")) {
        move_in_line(self, "EndOfLine");
    } else {
        base_key_press(self, e);
    }
}

void sql_init(py::object self, py::object parent) {
    super_of("VLMSQLTextEdit", self).attr("__init__")(parent);
    set_up_editor_font(self, 3);
    self.attr("highlighter") = global("VLMSQLHighlighter")(self.attr("document")());
}

} // namespace

py::object make_VLMCodeTextEdit() {
    return ClassBuilder("VLMCodeTextEdit", {global("QPlainTextEdit")})
        .method("__init__", &code_init, py::arg("self"), py::arg("parent"),
                py::arg("highlight_triple_string") = false)
        .method("keyPressEvent", &code_key_press, py::arg("self"), py::arg("e"))
        .build();
}

py::object make_VLMSQLTextEdit() {
    return ClassBuilder("VLMSQLTextEdit", {global("QPlainTextEdit")})
        .method("__init__", &sql_init, py::arg("self"), py::arg("parent"))
        .build();
}

} // namespace shared_ui

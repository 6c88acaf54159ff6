#include "code_editing/code_editing.hpp"
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"

namespace shared_ui {

py::object make_VLMPythonHighlighter() {
    return ClassBuilder("VLMPythonHighlighter", {global("QSyntaxHighlighter")}).build();
}

py::object make_VLMHighlighter() {
    return ClassBuilder("VLMHighlighter", {global("QSyntaxHighlighter")}).build();
}

py::object make_VLMCodeTextEdit() {
    return ClassBuilder("VLMCodeTextEdit", {global("QPlainTextEdit")}).build();
}

py::object make_VLMSQLHighlighter() {
    return ClassBuilder("VLMSQLHighlighter", {global("QSyntaxHighlighter")}).build();
}

py::object make_VLMSQLTextEdit() {
    return ClassBuilder("VLMSQLTextEdit", {global("QPlainTextEdit")}).build();
}

} // namespace shared_ui

// VLMCodeTextEdit and VLMSQLTextEdit.
#include "code_editing/code_editing.hpp"
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"

namespace shared_ui {

py::object make_VLMCodeTextEdit() {
    return ClassBuilder("VLMCodeTextEdit", {global("QPlainTextEdit")}).build();
}

py::object make_VLMSQLTextEdit() {
    return ClassBuilder("VLMSQLTextEdit", {global("QPlainTextEdit")}).build();
}

} // namespace shared_ui

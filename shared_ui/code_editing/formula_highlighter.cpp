// VLMHighlighter: filter and formula expressions (column references, literals, operators,
// placeholders of missing elements, formula function calls).
#include "code_editing/code_editing.hpp"
#include "code_editing/highlight_surface.hpp"
#include "code_editing/highlighter_common.hpp"
#include "code_editing/native_highlighting.hpp"
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"

namespace shared_ui {
namespace {

const char *const class_doc =
    " Syntax highlighter for the Python language.\n"
    "    **  THIS is a simpler version of VLMPythonHighlighter intended to be used for filters, "
    "formulas etc.\n"
    "    and not full-blown Python functions with def, exceptions etc.\n"
    "    ";

const char *const highlight_block_doc_formula =
    " Apply syntax highlighting to the given block of text.\n        ";

py::list operators() {
    return pattern_list({"==", "!=", "<", "<=", ">", ">=", "\\+", "-", "\\*", "/", "//", "\\%",
                         "\\*\\*", "\\band\\b", "\\bor\\b", "\\bTrue\\b", "\\bFalse\\b"});
}

py::list braces() {
    return pattern_list({"\\(", "\\)"});
}

const FixedRule fixed_rules[] = {
    {"\\bcol\\[.+\\]", 0, "vlm_column"},  {double_quoted_pattern, 0, "string"},
    {single_quoted_pattern, 0, "string"}, {integer_pattern, 0, "numbers"},
    {hex_pattern, 0, "numbers"},          {float_pattern, 0, "numbers"},
};

// Style name, then colour and style for the light and for the dark palette.
const StyleRow palette[] = {
    {"keyword", "green", nullptr, "darkOrange", nullptr},
    {"operator", "Blue", nullptr, "lightBlue", nullptr},
    {"brace", "darkGray", nullptr, "lightBlue", nullptr},
    {"string", "darkGreen", nullptr, "green", nullptr},
    {"string2", "darkGreen", nullptr, "green", nullptr},
    {"comment", "darkCyan", "italic", "gray", "italic"},
    {"self", "green", nullptr, "red", nullptr},
    {"numbers", "darkBlue", nullptr, "lightBlue", nullptr},
    {"vlm_column", "darkCyan", nullptr, "darkOrange", nullptr},
    {"vlm_formula", "magenta", nullptr, "lightBlue", nullptr},
    {"vlm_missing_element", "red", "bold", "red", "bold"},
};

void init(py::object self, py::object document, py::object vlm_formula_mode,
          py::object arr_function_name) {
    global("QSyntaxHighlighter").attr("__init__")(self, document);
    self.attr("vlm_formula_mode") = vlm_formula_mode;
    // "keyword", "string2", "comment" and "self" colour nothing here; they are built anyway so
    // that STYLES offers a host every name the Python highlighter's palette has.
    py::dict styles = choose_palette(self, palette);
    self.attr("STYLES") = styles;

    py::list rules;
    add_rules(rules, fixed_rules, styles);
    add_rules(rules, py::str("%s"), self.attr("operators"), 0, styles["operator"]);
    add_rules(rules, py::str("%s"), self.attr("braces"), 0, styles["brace"]);
    if (py::bool_(self.attr("vlm_formula_mode"))) {
        rules.append(py::make_tuple("___.+___", 0, styles["vlm_missing_element"]));
        if (arr_function_name.is_none()) {
            rules.append(py::make_tuple("\\b[A-Z]+[A-Z0-9\\.\\_]*\\(", 0, styles["vlm_formula"]));
        } else {
            // Names go in as written: hosts pass plain identifiers, and a name that is not a
            // valid pattern only gives a rule that never matches.
            for (py::handle function_name : arr_function_name)
                rules.append(py::make_tuple(py::str("\\b") + function_name + py::str("\\("), 0,
                                            styles["vlm_formula"]));
        }
    }
    self.attr("rules") = compile_rules(rules);
    prepare_native_highlighting(self, HighlighterKind::Formula);
}

void highlight_block(py::object self, py::object text) {
    if (!highlight_block_native(self, text, HighlighterKind::Formula))
        formula_highlight_block_surface(std::move(self), std::move(text));
}

} // namespace

void formula_highlight_block_surface(py::object self, py::object text) {
    single_line_pass(self, text);
}

py::object make_VLMHighlighter() {
    py::object cls =
        ClassBuilder("VLMHighlighter", {global("QSyntaxHighlighter")})
            .doc(class_doc)
            .static_method("format_text", &format_text, py::arg("color"), py::arg("style") = "",
                           format_text_doc)
            .attr("operators", operators)
            .attr("braces", braces)
            .method("__init__", &init, py::arg("self"), py::arg("document"),
                    py::arg("vlm_formula_mode") = true, py::arg("arr_function_name") = py::none())
            .method("highlightBlock", &highlight_block, py::arg("self"), py::arg("text"),
                    highlight_block_doc_formula)
            .build();
    remember_highlighter_class(HighlighterKind::Formula, cls);
    return cls;
}

} // namespace shared_ui

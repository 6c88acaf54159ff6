// VLMPythonHighlighter: keywords, operators, brackets, strings, comments, numbers, `self`, the
// names after def/class, and triple-double-quoted strings that run over several blocks.
#include "code_editing/code_editing.hpp"
#include "code_editing/highlight_surface.hpp"
#include "code_editing/highlighter_common.hpp"
#include "code_editing/native_highlighting.hpp"
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"

#include <Python.h>

namespace shared_ui {
namespace {

const char *const class_doc = "Syntax highlighter for the Python language.";

const char *const match_multiline_doc =
    "Highlighting of multi-line strings.\n"
    "        ``delimiter`` is the QRegularExpression of a triple-quote delimiter, and\n"
    "        ``in_state`` a unique integer for the block state inside such strings.\n"
    "        Returns True if the block ends inside such a string, that is if we are still\n"
    "        inside a multi-line string when this function is finished.\n"
    "        ";

py::list keywords() {
    py::list words;
    for (const char *word : {"int", "str", "date", "datetime", "float", "double", "bool"})
        words.append(word);
    // `keywords += keyword.kwlist`: the running interpreter's reserved words, appended in place.
    words.attr("extend")(global("keyword").attr("kwlist"));
    return words;
}

py::list operators() {
    return pattern_list({"=",  ":",    "==",  "!=",  "<",   "<=",     ">",    ">=", "\\+",
                         "-",  "\\*",  "/",   "//",  "\\%", "\\*\\*", "\\+=", "-=", "\\*=",
                         "/=", "\\%=", "\\^", "\\|", "\\&", "\\~",    ">>",   "<<"});
}

py::list braces() {
    return pattern_list({"\\{", "\\}", "\\(", "\\)", "\\[", "\\]"});
}

const FixedRule fixed_rules[] = {
    {"\\bself\\b", 0, "self"},
    {double_quoted_pattern, 0, "string"},
    {single_quoted_pattern, 0, "string"},
    {"\"", 0, "string"},
    {"\\'", 0, "string"},
    {"\\bdef\\b\\s*(\\w+)", 1, "defclass"},
    {"\\bclass\\b\\s*(\\w+)", 1, "defclass"},
    {"#[^\\n]*", 0, "comment"},
    {integer_pattern, 0, "numbers"},
    {hex_pattern, 0, "numbers"},
    {float_pattern, 0, "numbers"},
};

// Style name, then colour and style for the light and for the dark palette.
const StyleRow palette[] = {
    {"keyword", "green", nullptr, "darkOrange", nullptr},
    {"operator", "Blue", nullptr, "lightBlue", nullptr},
    {"brace", "darkGray", nullptr, "lightBlue", nullptr},
    {"defclass", "darkOrange", nullptr, "gold", nullptr},
    {"string", "darkGreen", nullptr, "green", nullptr},
    {"string2", "darkGreen", nullptr, "green", nullptr},
    {"comment", "darkCyan", "italic", "gray", "italic"},
    {"self", "green", nullptr, "red", nullptr},
    {"numbers", "darkBlue", nullptr, "lightBlue", nullptr},
};

void init(py::object self, py::object document, py::object highlight_triple_string) {
    global("QSyntaxHighlighter").attr("__init__")(self, document);
    py::dict styles = choose_palette(self, palette);
    self.attr("STYLES") = styles;
    self.attr("tri_double") =
        py::make_tuple(global("QRegularExpression")("\"\"\""), 1, styles["string2"]);
    // Stored for hosts that read it back. The multi-line pass stays on either way: every editor
    // built with the default (False) has always shown open triple-quoted strings, and switching
    // the pass off by this flag would silently change what those editors show.
    self.attr("highlight_triple_string") = highlight_triple_string;

    py::list rules;
    add_rules(rules, py::str("\\b%s\\b"), self.attr("keywords"), 0, styles["keyword"]);
    add_rules(rules, py::str("%s"), self.attr("operators"), 0, styles["operator"]);
    add_rules(rules, py::str("%s"), self.attr("braces"), 0, styles["brace"]);
    add_rules(rules, fixed_rules, styles);
    self.attr("rules") = compile_rules(rules);
    prepare_native_highlighting(self, HighlighterKind::Python);
}

py::object match_multiline(py::object self, py::object text, py::object delimiter,
                           py::object in_state, py::object style) {
    long start = 0;
    long add = 0;
    if (!self.attr("previousBlockState")().equal(in_state)) {
        py::object m = delimiter.attr("match")(text);
        start = m.attr("capturedStart")().cast<long>();
        add = m.attr("capturedEnd")().cast<long>() - start;
    }
    py::object set_format = self.attr("setFormat");
    py::object set_state = self.attr("setCurrentBlockState");
    while (start >= 0) {
        const long end =
            delimiter.attr("match")(text, start + add).attr("capturedEnd")().cast<long>();
        long length;
        if (end >= add) {
            // Exactly through the closing delimiter: counting the opening delimiter's length
            // again would also colour that many characters after the string and start the
            // search for the next string inside them.
            length = end - start;
            set_state(0);
        } else {
            set_state(in_state);
            length = qt_length(text) - start + add;
        }
        set_format(start, length, style);
        // A delimiter that can match empty text would find the same place again forever.
        if (length <= 0)
            break;
        py::object next = delimiter.attr("match")(text, start + length);
        start = next.attr("capturedStart")().cast<long>();
        // Every later string opens at a delimiter of its own, so its closing delimiter is looked
        // for after it, also on a block that began inside a string. Otherwise the opening
        // delimiter would be taken for the closing one and the string would end at once.
        add = next.attr("capturedEnd")().cast<long>() - start;
    }
    return py::bool_(self.attr("currentBlockState")().equal(in_state));
}

void highlight_block(py::object self, py::object text) {
    if (!highlight_block_native(self, text, HighlighterKind::Python))
        python_highlight_block_surface(std::move(self), std::move(text));
}

} // namespace

void python_highlight_block_surface(py::object self, py::object text) {
    if (!single_line_pass(self, text))
        return;
    auto [delimiter, in_state, style] = unpack3(self.attr("tri_double"));
    self.attr("match_multiline")(text, delimiter, in_state, style);
}

py::object make_VLMPythonHighlighter() {
    py::object cls = ClassBuilder("VLMPythonHighlighter", {global("QSyntaxHighlighter")})
                         .doc(class_doc)
                         .static_method("format_text", &format_text, py::arg("color"),
                                        py::arg("style") = "", format_text_doc)
                         .attr("keywords", keywords)
                         .attr("operators", operators)
                         .attr("braces", braces)
                         .method("__init__", &init, py::arg("self"), py::arg("document"),
                                 py::arg("highlight_triple_string") = false)
                         .method("highlightBlock", &highlight_block, py::arg("self"),
                                 py::arg("text"), highlight_block_doc)
                         .method("match_multiline", &match_multiline, py::arg("self"),
                                 py::arg("text"), py::arg("delimiter"), py::arg("in_state"),
                                 py::arg("style"), match_multiline_doc)
                         .build();
    remember_highlighter_class(HighlighterKind::Python, cls);
    return cls;
}

} // namespace shared_ui

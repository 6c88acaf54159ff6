// VLMSQLHighlighter: SQL keywords and functions in three case forms, operators, parentheses,
// quoted text, numbers and -- comments.
#include "code_editing/code_editing.hpp"
#include "code_editing/highlight_surface.hpp"
#include "code_editing/highlighter_common.hpp"
#include "code_editing/native_highlighting.hpp"
#include "frame/class_builder.hpp"
#include "frame/module_globals.hpp"

namespace shared_ui {
namespace {

const char *const class_doc = " Syntax highlighter for the SQL language.";

// clang-format off
const char *const sql_words[] = {
    "SELECT", "FROM", "VIEW", "INDEX", "FUNCTION", "INT", "INTEGER", "BIGINT", "FLOAT", "DOUBLE",
    "DECIMAL", "NUMERIC", "CHAR", "VARCHAR", "STRING", "BOOLEAN", "DATE", "TIMESTAMP", "ARRAY",
    "MAP", "THEN", "ELSE", "END", "JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "ON", "OVER",
    "PARTITION BY", "ORDER BY", "ROWS", "RANGE", "GROUP BY", "HAVING", "LIMIT", "DISTINCT",
    "WHERE", "BETWEEN", "LIKE", "IN", "IS NULL", "IS NOT NULL", "CAST", "EXPLAIN", "WITH", "UNION",
    "INTERSECT", "EXCEPT", "CONCAT", "CONCAT_WS", "LENGTH", "LOWER", "UPPER", "SUBSTRING", "TRIM",
    "LTRIM", "RTRIM", "REPLACE", "REGEXP_REPLACE", "ABS", "CEIL", "FLOOR", "ROUND", "SQRT", "POW",
    "EXP", "LOG", "LOG10", "CURRENT_DATE", "CURRENT_TIMESTAMP", "DATE_ADD", "DATE_SUB", "DATEDIFF",
    "MONTHS_BETWEEN", "YEAR", "MONTH", "DAYOFMONTH", "HOUR", "MINUTE", "SECOND", "AVG", "COUNT",
    "COUNTDISTINCT", "FIRST", "LAST", "MAX", "MIN", "SUM", "RANK", "DENSE_RANK", "ROW_NUMBER",
    "LEAD", "LAG", "NTILE", "ARRAY_CONTAINS", "EXPLODE", "SIZE", "SORT_ARRAY", "WHEN", "CASE",
    "COALESCE", "LIT", "ISNAN", "ISNULL", "NULLIF", "COL", "COLUMN", "EXPR", "LIT", "STRUCT",
    "TO_DATE", "TO_TIMESTAMP", "TO_JSON", "FROM_JSON", "TO_UTC_TIMESTAMP", "FROM_UTC_TIMESTAMP",
};
// clang-format on

// The listed words, then for each of them its capitalised and its lower-case form (written
// SQL mostly uses one of these three), each as a whole-word pattern.
py::list keywords() {
    py::list words;
    for (const char *word : sql_words)
        words.append(word);
    const size_t listed = py::len(words);
    for (size_t i = 0; i < listed; ++i) {
        py::object word = words[i];
        words.append(word.attr("capitalize")());
        words.append(word.attr("lower")());
    }
    py::list patterns;
    for (py::handle word : words)
        patterns.append(py::str("\\b") + word + py::str("\\b"));
    return patterns;
}

py::list operators() {
    return pattern_list({"=", "<>", "<", "<=", ">", ">=", "\\+", "-", "\\*", "/", "//", "\\%"});
}

py::list braces() {
    return pattern_list({"\\(", "\\)"});
}

const FixedRule fixed_rules[] = {
    {single_quoted_pattern, 0, "string"}, {double_quoted_pattern, 0, "string2"},
    {integer_pattern, 0, "numbers"},      {hex_pattern, 0, "numbers"},
    {float_pattern, 0, "numbers"},        {"--[^\\n]*", 0, "comment"},
};

// Style name, then colour and style for the light and for the dark palette.
const StyleRow palette[] = {
    {"keyword", "darkGreen", nullptr, "darkOrange", nullptr},
    {"operator", "darkGray", nullptr, "lightBlue", nullptr},
    {"brace", "gray", nullptr, "lightBlue", nullptr},
    {"string", "red", nullptr, "lightGreen", nullptr},
    {"string2", "darkOrange", nullptr, "gold", nullptr},
    {"numbers", "red", nullptr, "lightBlue", nullptr},
    {"comment", "darkCyan", "italic", "gray", "italic"},
};

void init(py::object self, py::object document) {
    global("QSyntaxHighlighter").attr("__init__")(self, document);
    py::dict styles = choose_palette(self, palette);
    self.attr("STYLES") = styles;

    py::list rules;
    add_rules(rules, py::str("%s"), self.attr("keywords"), 0, styles["keyword"]);
    add_rules(rules, py::str("%s"), self.attr("operators"), 0, styles["operator"]);
    add_rules(rules, py::str("%s"), self.attr("braces"), 0, styles["brace"]);
    add_rules(rules, fixed_rules, styles);
    self.attr("rules") = compile_rules(rules);
    prepare_native_highlighting(self, HighlighterKind::Sql);
}

void highlight_block(py::object self, py::object text) {
    if (!highlight_block_native(self, text, HighlighterKind::Sql))
        sql_highlight_block_surface(std::move(self), std::move(text));
}

} // namespace

void sql_highlight_block_surface(py::object self, py::object text) {
    single_line_pass(self, text);
}

py::object make_VLMSQLHighlighter() {
    py::object cls = ClassBuilder("VLMSQLHighlighter", {global("QSyntaxHighlighter")})
                         .doc(class_doc)
                         .static_method("format_text", &format_text, py::arg("color"),
                                        py::arg("style") = "", format_text_doc)
                         .attr("keywords", keywords)
                         .attr("operators", operators)
                         .attr("braces", braces)
                         .method("__init__", &init, py::arg("self"), py::arg("document"))
                         .method("highlightBlock", &highlight_block, py::arg("self"),
                                 py::arg("text"), highlight_block_doc)
                         .build();
    remember_highlighter_class(HighlighterKind::Sql, cls);
    return cls;
}

} // namespace shared_ui

// The engine fuzzer (libFuzzer): the highlight engine against the literal loops it stands in for,
// on rule lists and block texts decoded from the fuzzer's bytes. On a difference it prints the
// block, both colourings and the rules, and aborts. `scripts/run fuzz-engine` builds
// and runs it, minimises what it finds, and replays tests/native/fuzz/seeds/ on every run: a
// finding kept there stays a regression test.
//
// An input is a header, then the block's text. The first byte picks the rules:
//   0-9  a highlighter's list as the module builds it, in the order of rule_lists.json beside
//        the executable (scripts/run writes it from the module, so it cannot fall out of date).
//        A list with the multi-line string pass takes one byte more (kStates: the state the
//        block before left); a formula list with function names takes the names (see names()).
//   10   a list of pattern shapes (see shape_rules()).
// The text takes one byte per UTF-16 unit: ASCII as itself, 0x80 to 0xFE a unit of kUnits, 0xFF
// the unit that the next two bytes give (little-endian). Bytes past the end read as 0.
#include "highlight_engine_cases.hpp"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

using namespace shared_ui::highlight;
using namespace shared_ui::highlight::cases;

namespace {

// One block as a highlighter meets it: its rules, the text the document holds and, for the
// Python highlighter, the multi-line string pass with the state the block before left.
struct Block {
    std::vector<Rule> rules;
    QString text;
    std::optional<TripleQuotePass> pass;
    int previous_state = -1;
};

struct Colouring {
    FormatMap formats;
    int state = 0;
    bool operator==(const Colouring &) const = default;
};

// The text the rules search: PyQt drops a leading byte order mark when it hands the block's text
// to a regular expression, while setFormat counts it.
QString subject(const QString &text) {
    return text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
}

// As the module's native path colours the block (the engine's rule table and multi-line pass),
// or as the highlighters' own loops do (the rule loop and the reference pass).
template <typename Rules>
Colouring colour(const Rules &rules, const Block &block, decltype(&paint_triple_quotes) pass) {
    Colouring result;
    const QString searched = subject(block.text);
    rules.paint(searched, result.formats);
    result.formats.resize(size_t(block.text.size()), kNoFormat);
    if (block.pass)
        result.state =
            pass(searched, block.text.size(), block.previous_state, *block.pass, result.formats)
                .state;
    return result;
}

// Units past ASCII that the matchers and Qt treat apart: the first ones past ASCII and Latin-1,
// separators, a wide character, both byte order marks and U+FFFF, lone halves of surrogate
// pairs at both ends of their ranges, and the halves of two pairs (D83D DE00, D835 DD18).
const char16_t kUnits[] = {0x0080, 0x00A0, 0x00E9, 0x00FF, 0x0100, 0x2028, 0x2029,
                           0x3000, 0x65E5, 0xFEFF, 0xFFFE, 0xFFFF, 0xD800, 0xDBFF,
                           0xDC00, 0xDFFF, 0xD83D, 0xDE00, 0xD835, 0xDD18};

// The states a block may start in: the first block's, after a closed string, inside one, other.
const int kStates[] = {-1, 0, 1, 2};

// Function names a host may pass: names (one of them twice), a name in other case, names with
// characters that are special in a pattern (a wildcard, empty alternatives, an unbalanced
// parenthesis, a trailing backslash), non-ASCII names, an empty one.
const char16_t *const kNames[] = {u"SUM", u"IF",     u"DATE_ADD", u"sum",  u"X9_.Q", u"A.B",  u"|",
                                  u"a|",  u"IF)",    u"x*",       u"\\w+", u"é",     u"日本", u"",
                                  u"(",   u"[A-Z]+", u"\\",       u"😀",    u"SUM",   u"MAX"};
// How many names a list takes: the last is more than the literal pass keeps on its stack.
const int kNameCounts[] = {0, 1, 2, 3, 4, 5, 6, 70};

// Rules the shape lists draw besides the known shapes: general expressions, among them one that
// matches empty text and one that colours a group.
const Rule kGeneral[] = {{R"([^"]+)", 0, 0}, {R"(\w+)", 0, 0}, {"x*", 0, 0}, {R"((\w)\w*)", 1, 0}};

class Input {
  public:
    Input(const std::uint8_t *data, size_t size) : data_(data), size_(size) {}
    int byte() { return at_ < size_ ? data_[at_++] : 0; }
    char16_t unit() {
        const int b = byte();
        if (b < 0x80)
            return char16_t(b);
        if (b < 0xFF)
            return kUnits[size_t(b - 0x80) % std::size(kUnits)];
        const int low = byte();
        return char16_t(low | byte() << 8);
    }
    // `count` units, or all that the input has left.
    QString units(int count = -1) {
        QString text;
        for (int i = 0; count < 0 ? at_ < size_ : i < count; ++i)
            text += QChar(unit());
        return text;
    }

  private:
    const std::uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

struct List {
    std::vector<Rule> rules;
    std::optional<TripleQuotePass> pass;
    int function_format = -1; // >= 0: the input appends function names in this format
    std::unique_ptr<RuleTable> table;
    std::unique_ptr<RuleLoop> loop;
};

std::vector<List> &lists() {
    static auto *all = new std::vector<List>();
    return *all;
}

void load_lists(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s: scripts/run fuzz-engine writes it\n",
                     qPrintable(path));
        std::exit(2);
    }
    for (const QJsonValue &entry : QJsonDocument::fromJson(file.readAll()).array()) {
        const QJsonObject object = entry.toObject();
        List list;
        for (const QJsonValue &rule : object["rules"].toArray()) {
            const QJsonArray r = rule.toArray();
            list.rules.push_back({r[0].toString(), r[1].toInt(), r[2].toInt()});
        }
        if (object["pass"].isArray())
            list.pass =
                TripleQuotePass{object["pass"][0].toInt(), FormatId(object["pass"][1].toInt())};
        list.function_format = object["function_format"].toInt(-1);
        if (list.function_format < 0) {
            list.table = std::make_unique<RuleTable>(list.rules);
            list.loop = std::make_unique<RuleLoop>(list.rules);
        }
        lists().push_back(std::move(list));
    }
}

// Escapes the characters a pattern gives a meaning to (all punctuation, when `all`).
QString escaped(const QString &text, bool all) {
    static const QString metachars = QStringLiteral("\\.^$|?*+()[]{}");
    QString pattern;
    for (QChar c : text) {
        if (metachars.contains(c) || (all && c.unicode() < 128 && c.isPunct()))
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}

// The formula highlighter's `\bNAME\(` rules: a count byte (kNameCounts), then a byte per name:
// below 0xF0 one of kNames, else a name of its own (a length byte, then that many units).
void names(Input &in, int format, std::vector<Rule> &rules) {
    const int count = kNameCounts[size_t(in.byte()) % std::size(kNameCounts)];
    for (int i = 0; i < count; ++i) {
        const int b = in.byte();
        const QString name = b < 0xF0 ? QString::fromUtf16(kNames[size_t(b) % std::size(kNames)])
                                      : in.units(1 + in.byte() % 8);
        rules.push_back({"\\b" + name + "\\(", 0, format});
    }
}

// A list of 1 to 16 rules (the count byte), then a byte for the multi-line pass (0: none, else
// a state from kStates), then per rule a kind byte and a format byte (0 to 3). A kind below 0xE0
// is a known shape or a general rule; 0xE0 to 0xEF a literal with \b before (bit 0) and after
// (bit 1), all punctuation escaped (bit 2), then a length byte and the units; 0xF0 to 0xFF a
// pattern of its own units (bit 0: it colours group 1), a length byte, then the units.
void shape_rules(Input &in, Block &block) {
    const int count = 1 + in.byte() % 16;
    if (const int pass = in.byte() % 5; pass > 0) {
        block.pass = TripleQuotePass{1, 4};
        block.previous_state = kStates[pass - 1];
    }
    const size_t shapes = std::size(kShapes);
    for (int i = 0; i < count; ++i) {
        const int kind = in.byte();
        const int format = in.byte() % 4;
        Rule rule;
        if (kind < 0xE0) {
            const size_t pick = size_t(kind) % (shapes + std::size(kGeneral));
            rule = pick < shapes ? kShapes[pick].rule : kGeneral[pick - shapes];
        } else if (kind < 0xF0) {
            const QString text = escaped(in.units(1 + in.byte() % 8), kind & 4);
            rule.pattern = (kind & 1 ? "\\b" : "") + text + (kind & 2 ? "\\b" : "");
        } else {
            rule.group = kind & 1;
            rule.pattern = in.units(1 + in.byte() % 24);
        }
        rule.format = format;
        block.rules.push_back(rule);
    }
}

char code(FormatId id) {
    if (id == kNoFormat)
        return '.';
    return id < 10 ? char('0' + id) : id < 36 ? char('a' + id - 10) : '*';
}

[[noreturn]] void report(const Block &block, const Colouring &fast, const Colouring &loop) {
    std::string shown, engine, looped, rules;
    for (qsizetype i = 0; i < block.text.size(); ++i) {
        const char16_t c = block.text[i].unicode();
        shown += c >= 0x20 && c < 0x7F ? char(c) : '?';
        engine += code(fast.formats[size_t(i)]);
        looped += code(loop.formats[size_t(i)]);
    }
    for (const Rule &rule : block.rules)
        rules += "\n    " + rule.pattern.toStdString() + "   group " + std::to_string(rule.group) +
                 ", format " + std::to_string(rule.format);
    std::fprintf(stderr,
                 "The engine and the loop colour this block differently (? is a unit past ASCII "
                 "or a control):\n  text    %s\n  engine  %s   state %d\n  loop    %s   state %d\n"
                 "The rules (the multi-line pass %s, the block before left state %d):%s\n",
                 shown.c_str(), engine.c_str(), fast.state, looped.c_str(), loop.state,
                 block.pass ? "on" : "off", block.previous_state, rules.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***argv) {
    // Qt warns on every search with an invalid pattern, which the lists hold on purpose.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    load_lists(QFileInfo(QString::fromLocal8Bit((*argv)[0])).absolutePath() + "/rule_lists.json");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size) {
    Input in(data, size);
    Block block;
    const size_t pick = size_t(in.byte()) % (lists().size() + 1);
    const List *list = pick < lists().size() ? &lists()[pick] : nullptr;
    if (list != nullptr) {
        block.rules = list->rules;
        if (list->pass) {
            block.pass = list->pass;
            block.previous_state = kStates[size_t(in.byte()) % std::size(kStates)];
        }
        if (list->function_format >= 0)
            names(in, list->function_format, block.rules);
    } else {
        shape_rules(in, block);
    }
    block.text = in.units();
    // A list that the input does not add to has its table and loop made once; any other, here.
    std::optional<RuleTable> own_table;
    std::optional<RuleLoop> own_loop;
    const bool made = list != nullptr && list->table != nullptr;
    const Colouring fast =
        colour(made ? *list->table : own_table.emplace(block.rules), block, paint_triple_quotes);
    const Colouring slow = colour(made ? *list->loop : own_loop.emplace(block.rules), block,
                                  paint_triple_quotes_reference);
    if (fast != slow)
        report(block, fast, slow);
    return 0;
}

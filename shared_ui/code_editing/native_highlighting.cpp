#include "code_editing/native_highlighting.hpp"

#include "code_editing/highlight_engine.hpp"
#include "code_editing/highlighter_common.hpp"
#include "frame/interpreter.hpp"
#include "frame/module_globals.hpp"

#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCharFormat>

#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace shared_ui {
namespace {

using highlight::FormatId;
using highlight::FormatMap;
using highlight::kNoFormat;
using highlight::Rule;
using highlight::RuleTable;

struct HighlighterAccess : QSyntaxHighlighter {
    using QSyntaxHighlighter::currentBlock;
    using QSyntaxHighlighter::previousBlockState;
    using QSyntaxHighlighter::setCurrentBlockState;
    using QSyntaxHighlighter::setFormat;
};
using SetFormat = void (QSyntaxHighlighter::*)(int, int, const QTextCharFormat &);
using SetBlockState = void (QSyntaxHighlighter::*)(int);
using GetBlockState = int (QSyntaxHighlighter::*)() const;
using GetBlock = QTextBlock (QSyntaxHighlighter::*)() const;
const SetFormat set_format = &HighlighterAccess::setFormat;
const SetBlockState set_current_block_state = &HighlighterAccess::setCurrentBlockState;
const GetBlockState previous_block_state = &HighlighterAccess::previousBlockState;
const GetBlock current_block = &HighlighterAccess::currentBlock;

// The methods whose replacement by a subclass or an instance sends highlightBlock down the
// surface loop; the last one only matters to the Python highlighter.
constexpr int kGuardedMethods = 5;
const char *const guarded_method_names[kGuardedMethods] = {"setFormat", "setCurrentBlockState",
                                                           "previousBlockState",
                                                           "currentBlockState", "match_multiline"};

// Interned names and the methods as each class was made. Never released: they live as long as
// the module, and must not be released after the interpreter has finalised.
struct ClassFacts {
    std::array<PyObject *, kGuardedMethods> methods{};
    bool known = false;
};

struct Names {
    std::array<PyObject *, kGuardedMethods> methods{};
    PyObject *rules = nullptr;
    PyObject *tri_double = nullptr;
    std::array<ClassFacts, 3> classes;
    PyObject *regex_type = nullptr;
    PyObject *format_type = nullptr;
    PyObject *unwrap = nullptr;
    PyObject *is_deleted = nullptr;
};

Names &names() {
    static Names *n = [] {
        auto *n = new Names;
        for (int i = 0; i < kGuardedMethods; ++i)
            n->methods[i] = PyUnicode_InternFromString(guarded_method_names[i]);
        n->rules = PyUnicode_InternFromString("rules");
        n->tri_double = PyUnicode_InternFromString("tri_double");
        const auto keep = [](const char *module, const char *name) {
            return py::object(py::module_::import(module).attr(name)).release().ptr();
        };
        n->regex_type = keep("PyQt6.QtCore", "QRegularExpression");
        n->format_type = keep("PyQt6.QtGui", "QTextCharFormat");
        n->unwrap = keep("PyQt6.sip", "unwrapinstance");
        n->is_deleted = keep("PyQt6.sip", "isdeleted");
        return n;
    }();
    return *n;
}

ClassFacts &facts(HighlighterKind kind) {
    return names().classes[static_cast<int>(kind)];
}

// The C++ object behind a PyQt6 wrapper; RuntimeError (from sip) when it has been deleted.
template <typename T> T *unwrap(PyObject *wrapper) {
    PyObject *address = PyObject_CallOneArg(names().unwrap, wrapper);
    if (address == nullptr)
        throw py::error_already_set();
    void *pointer = PyLong_AsVoidPtr(address);
    Py_DECREF(address);
    if (pointer == nullptr && PyErr_Occurred())
        throw py::error_already_set();
    return static_cast<T *>(pointer);
}

// sip keeps a wrapper's C++ address in the first field after the object header and clears it
// when the C++ object is deleted (sip.delete, or a QObject's parent deleting it). Reading that
// field spares a call of sip.unwrapinstance or sip.isdeleted on every block, which together cost
// as much as a third of the matching. The layout is confirmed for each object when it is first
// watched (the field must hold what sip.unwrapinstance reported); where it is not, sip is asked.
void *sip_address(PyObject *wrapper) {
    void *address;
    std::memcpy(&address, reinterpret_cast<const char *>(wrapper) + sizeof(PyObject),
                sizeof address);
    return address;
}

bool address_field_holds(PyObject *wrapper, const void *address) {
    return Py_TYPE(wrapper)->tp_basicsize >= Py_ssize_t(sizeof(PyObject) + sizeof(void *)) &&
           sip_address(wrapper) == address;
}

// The rules as __init__ built them, with what is needed to notice a later change cheaply.
//
// The list and its items are compared by identity. The patterns are read once, here: the
// regular expressions are only ever matched by the surface loop, and changing one in place
// (setPattern) is not noticed. The formats are different: a host may well restyle a palette entry
// in place (STYLES["keyword"].setForeground(...)), and those are the very objects the rules hold,
// so the native path paints with the live formats and checks them on every block. Qt shares a
// format's data implicitly: a copy taken here keeps the same data pointer until the original is
// changed, so the live object's bytes, unchanged since they were taken, are an exact
// "unchanged" test; where they differ (an assignment of an equal format), Qt compares.
struct WatchedFormat {
    PyObject *object; // kept alive by the rule items
    const QTextCharFormat *live;
    QTextCharFormat copy;
    // The live object's bytes when they last compared equal to `copy`, padding included, which
    // a byte comparison with `copy` itself would trip over.
    mutable std::array<unsigned char, sizeof(QTextCharFormat)> bytes;
    // See sip_address(): whether the wrapper's address field can be read directly.
    bool address_field_confirmed;

    WatchedFormat(PyObject *object_, const QTextCharFormat *live_, bool confirmed)
        : object(object_), live(live_), copy(*live_), address_field_confirmed(confirmed) {
        std::memcpy(bytes.data(), static_cast<const void *>(live), bytes.size());
    }

    bool deleted() const {
        if (address_field_confirmed)
            return sip_address(object) == nullptr;
        PyObject *answer = PyObject_CallOneArg(names().is_deleted, object);
        if (answer == nullptr)
            throw py::error_already_set();
        const bool gone = answer == Py_True;
        Py_DECREF(answer);
        return gone;
    }
    bool unchanged() const {
        if (std::memcmp(static_cast<const void *>(live), bytes.data(), bytes.size()) == 0)
            return true;
        if (!(*live == copy))
            return false;
        std::memcpy(bytes.data(), static_cast<const void *>(live), bytes.size());
        return true;
    }
};

struct State {
    py::object rules;                           // the list itself
    std::vector<PyObject *> items;              // its items as built; `rules_copy` keeps them alive
    py::object rules_copy;                      // a tuple of those items
    std::vector<WatchedFormat> formats;         // one per distinct format object
    std::vector<const QTextCharFormat *> by_id; // the format painted for each format id
    std::vector<char> equal;                    // whether the formats of two ids are equal
    std::shared_ptr<const RuleTable> table;

    bool triple_quotes = false;
    py::object tri_double;
    highlight::TripleQuotePass pass;

    // Taken when the full check last found the highlighter's attributes unchanged; while it
    // stays current, every lookup the check makes resolves as it did then.
    mutable ChangeStamp unchanged_since;
    bool address_field_confirmed = false; // the highlighter's, see sip_address()

    py::object weakref; // drops this state when the highlighter's wrapper goes
};

std::unordered_map<PyObject *, std::unique_ptr<State>> &states() {
    static auto *map = new std::unordered_map<PyObject *, std::unique_ptr<State>>();
    return *map;
}

// Rule tables by their rule lists: the same highlighter kind with the same palette (and, for the
// formula highlighter, the same function names) shares one table for the whole process.
std::shared_ptr<const RuleTable> shared_table(const std::vector<Rule> &rules) {
    static auto *cache = new std::map<std::u16string, std::shared_ptr<const RuleTable>>();
    std::u16string key;
    for (const Rule &rule : rules) {
        key += rule.pattern.toStdU16String();
        key += u'\0';
        key += char16_t(rule.group);
        key += char16_t(rule.format);
    }
    auto found = cache->find(key);
    if (found != cache->end())
        return found->second;
    // Function-name lists are the host's; keep the cache small by letting go of tables that
    // no highlighter uses any more.
    if (cache->size() >= 32)
        for (auto it = cache->begin(); it != cache->end();)
            it = it->second.use_count() == 1 ? cache->erase(it) : std::next(it);
    auto table = std::make_shared<const RuleTable>(rules);
    cache->emplace(std::move(key), table);
    return table;
}

// A regular expression as the rule loop would use it: exactly PyQt6's class (a subclass could
// override match) and default options, which is what the engine models.
const QRegularExpression *plain_regex(PyObject *object) {
    if (Py_TYPE(object) != reinterpret_cast<PyTypeObject *>(names().regex_type))
        return nullptr;
    const auto *regex = unwrap<QRegularExpression>(object);
    return regex->patternOptions() == QRegularExpression::NoPatternOption ? regex : nullptr;
}

const QTextCharFormat *char_format(PyObject *object) {
    const int is = PyObject_IsInstance(object, names().format_type);
    if (is < 0)
        throw py::error_already_set();
    return is ? unwrap<QTextCharFormat>(object) : nullptr;
}

// Format ids in rule order: consecutive rules whose formats are equal share one, so that they form
// one unit of the engine even when their style names differ (the dark palettes repeat colours),
// and a new one starts with each other format, so that the engine's units are the format ids and
// it has none to translate. `fresh` starts a new one in any case (the triple-quote pass's).
FormatId format_id(State &state, PyObject *object, bool fresh = false) {
    const QTextCharFormat *format = char_format(object);
    if (format == nullptr)
        return kNoFormat;
    bool watched = false;
    for (const WatchedFormat &known : state.formats)
        watched = watched || known.object == object;
    if (!watched)
        state.formats.emplace_back(object, format, address_field_holds(object, format));
    if (!fresh && !state.by_id.empty() && *state.by_id.back() == *format)
        return FormatId(state.by_id.size() - 1);
    state.by_id.push_back(format);
    return FormatId(state.by_id.size() - 1);
}

std::unique_ptr<State> build_state(py::handle self, HighlighterKind kind) {
    PyObject *dict = instance_dict(self.ptr());
    if (dict == nullptr)
        return nullptr;
    PyObject *rules = PyDict_GetItemWithError(dict, names().rules);
    if (rules == nullptr || !PyList_CheckExact(rules))
        return nullptr;

    auto state = std::make_unique<State>();
    state->rules = py::reinterpret_borrow<py::object>(rules);
    state->rules_copy = py::reinterpret_steal<py::object>(PySequence_Tuple(rules));
    if (!state->rules_copy)
        throw py::error_already_set();
    std::vector<Rule> rule_list;
    for (py::handle item : state->rules_copy) {
        PyObject *rule = item.ptr();
        if (!PyTuple_CheckExact(rule) || PyTuple_GET_SIZE(rule) != 3)
            return nullptr;
        const QRegularExpression *regex = plain_regex(PyTuple_GET_ITEM(rule, 0));
        PyObject *nth = PyTuple_GET_ITEM(rule, 1);
        if (regex == nullptr || !PyLong_CheckExact(nth))
            return nullptr;
        const long group = PyLong_AsLong(nth);
        if (group < 0 || group > 99)
            return nullptr;
        const FormatId id = format_id(*state, PyTuple_GET_ITEM(rule, 2));
        if (id == kNoFormat)
            return nullptr;
        state->items.push_back(rule);
        rule_list.push_back({regex->pattern(), int(group), id});
    }

    if (kind == HighlighterKind::Python) {
        PyObject *tri = PyDict_GetItemWithError(dict, names().tri_double);
        if (tri == nullptr || !PyTuple_CheckExact(tri) || PyTuple_GET_SIZE(tri) != 3)
            return nullptr;
        const QRegularExpression *delimiter = plain_regex(PyTuple_GET_ITEM(tri, 0));
        PyObject *in_state = PyTuple_GET_ITEM(tri, 1);
        if (delimiter == nullptr || delimiter->pattern() != QStringLiteral("\"\"\"") ||
            !PyLong_CheckExact(in_state))
            return nullptr;
        int overflow = 0;
        const long value = PyLong_AsLongAndOverflow(in_state, &overflow);
        const FormatId id = format_id(*state, PyTuple_GET_ITEM(tri, 2), true);
        if (overflow != 0 || value < INT_MIN || value > INT_MAX || id == kNoFormat)
            return nullptr;
        state->triple_quotes = true;
        state->tri_double = py::reinterpret_borrow<py::object>(tri);
        state->pass = {int(value), id};
    }
    const size_t ids = state->by_id.size();
    state->equal.resize(ids * ids);
    for (size_t a = 0; a < ids; ++a)
        for (size_t b = 0; b < ids; ++b)
            state->equal[a * ids + b] = *state->by_id[a] == *state->by_id[b];
    state->table = shared_table(rule_list);
    return state;
}

// The methods, `rules` and `tri_double` as the instance and its class resolve them.
bool attributes_unchanged(PyTypeObject *type, PyObject *dict, const State &state,
                          HighlighterKind kind) {
    const ClassFacts &expected = facts(kind);
    const int guarded = kind == HighlighterKind::Python ? kGuardedMethods : kGuardedMethods - 1;
    for (int i = 0; i < guarded; ++i) {
        if (class_attribute(type, names().methods[i]) != expected.methods[i])
            return false;
        if (PyDict_GetItemWithError(dict, names().methods[i]) != nullptr || PyErr_Occurred())
            return false;
    }
    if (class_attribute(type, names().rules) != nullptr ||
        PyDict_GetItemWithError(dict, names().rules) != state.rules.ptr())
        return false;
    if (state.triple_quotes &&
        (class_attribute(type, names().tri_double) != nullptr ||
         PyDict_GetItemWithError(dict, names().tri_double) != state.tri_double.ptr()))
        return false;
    return !PyErr_Occurred();
}

// True while the highlighter still is what the native path models (see the header).
bool unchanged(py::handle self, const State &state, HighlighterKind kind) {
    PyTypeObject *type = Py_TYPE(self.ptr());
    PyObject *dict = instance_dict(self.ptr());
    if (!facts(kind).known || dict == nullptr)
        return false;
    if (!state.unchanged_since.current(type, dict)) {
        if (!attributes_unchanged(type, dict, state, kind))
            return false;
        state.unchanged_since = ChangeStamp::take(type, dict);
    }
    // Lists are not watched: their items are compared (a few hundred pointers at most).
    PyObject *list = state.rules.ptr();
    if (size_t(PyList_GET_SIZE(list)) != state.items.size() ||
        std::memcmp(PySequence_Fast_ITEMS(list), state.items.data(),
                    state.items.size() * sizeof(PyObject *)))
        return false;
    for (const WatchedFormat &format : state.formats) {
        // A format deleted through sip.delete must not be read; the surface loop reports it.
        if (format.deleted() || !format.unchanged())
            return false;
    }
    return true;
}

// The text as the loop's regular expressions see it, into `subject`, whose buffer is reused. PyQt
// hands a str to Qt as QString::fromLatin1, fromUtf16 or fromUcs4, by the width of the str's
// widest character, and the last two read a leading byte order mark as one: fromUtf16 drops a
// leading U+FEFF, and drops a leading U+FFFE and swaps the bytes of every unit after it;
// fromUcs4 drops a leading U+FEFF only. Nothing else changes, and lone surrogates pass through
// (the engine models them). Most code is Latin-1, where the conversion only widens each
// character: done here into the buffer of the last block, it spares an allocation per block.
void read_regex_subject(PyObject *text, QString &subject) {
    const Py_ssize_t size = PyUnicode_GET_LENGTH(text);
    const void *data = PyUnicode_DATA(text);
    switch (PyUnicode_KIND(text)) {
    case PyUnicode_1BYTE_KIND: {
        subject.resize(size);
        const auto *in = static_cast<const unsigned char *>(data);
        char16_t *out = reinterpret_cast<char16_t *>(subject.data());
        for (Py_ssize_t i = 0; i < size; ++i)
            out[i] = in[i];
        return;
    }
    case PyUnicode_2BYTE_KIND:
        subject = QString::fromUtf16(static_cast<const char16_t *>(data), size);
        return;
    default:
        subject = QString::fromUcs4(static_cast<const char32_t *>(data), size);
        return;
    }
}

} // namespace

void remember_highlighter_class(HighlighterKind kind, py::handle cls) {
    ClassFacts &f = facts(kind);
    auto *type = reinterpret_cast<PyTypeObject *>(cls.ptr());
    for (int i = 0; i < kGuardedMethods; ++i) {
        // sip fills a wrapped type's dictionary lazily, on the first attribute lookup; look each
        // name up once the ordinary way so that the dictionaries hold what they resolve to.
        if (PyObject *resolved = PyObject_GetAttr(cls.ptr(), names().methods[i]))
            Py_DECREF(resolved);
        else
            PyErr_Clear();
        PyObject *method = class_attribute(type, names().methods[i]);
        Py_XINCREF(method);
        Py_XDECREF(f.methods[i]);
        f.methods[i] = method;
    }
    f.known = true;
}

void prepare_native_highlighting(py::handle self, HighlighterKind kind) {
    std::unique_ptr<State> state = build_state(self, kind);
    if (PyErr_Occurred())
        throw py::error_already_set();
    PyObject *key = self.ptr();
    if (!state) {
        states().erase(key);
        return;
    }
    state->address_field_confirmed =
        address_field_holds(self.ptr(), unwrap<QSyntaxHighlighter>(self.ptr()));
    state->weakref =
        py::weakref(self, py::cpp_function([key](py::handle) { states().erase(key); }));
    states()[key] = std::move(state);
}

bool highlight_block_native(py::handle self, py::handle text, HighlighterKind kind) {
    auto found = states().find(self.ptr());
    if (found == states().end() || !PyUnicode_Check(text.ptr()) ||
        PyUnicode_GET_LENGTH(text.ptr()) == 0)
        return false;
    const State &state = *found->second;
    if (!unchanged(self, state, kind)) {
        if (PyErr_Occurred())
            throw py::error_already_set();
        return false;
    }
    // Never destroyed: see Names. Each is only used while one block is highlighted.
    static QString *subject = new QString();
    static FormatMap *map = new FormatMap();
    read_regex_subject(text.ptr(), *subject);
    const QString &qtext = *subject;

    auto *highlighter = state.address_field_confirmed
                            ? static_cast<QSyntaxHighlighter *>(sip_address(self.ptr()))
                            : nullptr;
    if (highlighter == nullptr) // deleted (sip raises RuntimeError), or not confirmed
        highlighter = unwrap<QSyntaxHighlighter>(self.ptr());
    state.table->paint(qtext, *map);
    // setFormat colours only the block being highlighted (none outside a rehighlight), measured
    // in the document, not in qtext: a block that starts with a byte order mark is a unit longer.
    const QTextBlock block = (highlighter->*current_block)();
    map->resize(block.isValid() ? size_t(block.length() - 1) : 0, kNoFormat);
    int block_state = 0;
    if (state.triple_quotes)
        block_state =
            highlight::paint_triple_quotes(qtext, qt_length(text),
                                           (highlighter->*previous_block_state)(), state.pass, *map)
                .state;

    const FormatId *ids = map->data();
    const qsizetype size = qsizetype(map->size());
    const size_t count = state.by_id.size();
    for (qsizetype i = 0; i < size;) {
        // One setFormat per run of equal formats, also where two ids of equal formats meet.
        const FormatId id = ids[i];
        qsizetype j = i + 1;
        for (;;) {
            while (j < size && ids[j] == id)
                ++j;
            if (j == size || id == kNoFormat || ids[j] == kNoFormat ||
                !state.equal[size_t(id) * count + size_t(ids[j])])
                break;
            ++j;
        }
        if (ids[i] != kNoFormat)
            (highlighter->*set_format)(int(i), int(j - i), *state.by_id[size_t(ids[i])]);
        i = j;
    }
    (highlighter->*set_current_block_state)(block_state);
    return true;
}

} // namespace shared_ui

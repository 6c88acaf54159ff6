// Bench-only, never installed: what any highlighter that produces the module's formats must cost,
// so that bench/run.py can measure how close the native path comes to it.
//
// - state_only(document): a C++ QSyntaxHighlighter that only sets block states (Qt's own loop).
// - record(document): the formats and states a highlighter left on every block.
// - replay(document, recording): a C++ QSyntaxHighlighter that sets exactly those again, the least
//   a highlighter producing them can cost in C++.
// - SipReplay(document), then bind(highlighter, recording): the same replay in a Python class made
//   as the module makes its highlighters (types.new_class on QSyntaxHighlighter, highlightBlock a
//   pybind11 function in an instancemethod), which Qt reaches through sip: the least such a
//   highlighter can cost.
// - first_difference(recording, document): the first block whose formats or state differ, or -1.
#include <pybind11/pybind11.h>

#include <QPointer>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <vector>

namespace py = pybind11;

namespace {

struct Access : QSyntaxHighlighter {
    using QSyntaxHighlighter::currentBlock;
    using QSyntaxHighlighter::setCurrentBlockState;
    using QSyntaxHighlighter::setFormat;
};
const auto set_format =
    static_cast<void (QSyntaxHighlighter::*)(int, int, const QTextCharFormat &)>(
        &Access::setFormat);
const auto set_state = &Access::setCurrentBlockState;
const auto current_block = &Access::currentBlock;

struct Block {
    QList<QTextLayout::FormatRange> ranges;
    int state;
};
using Recording = std::vector<Block>;

template <typename T> T *unwrap(py::handle wrapper) {
    py::object address = py::module_::import("PyQt6.sip").attr("unwrapinstance")(wrapper);
    return static_cast<T *>(PyLong_AsVoidPtr(address.ptr()));
}

Recording record(py::handle document) {
    Recording recording;
    for (QTextBlock b = unwrap<QTextDocument>(document)->begin(); b.isValid(); b = b.next())
        recording.push_back({b.layout()->formats(), b.userState()});
    return recording;
}

int first_difference(const Recording &recording, py::handle document) {
    const Recording now = record(document);
    for (size_t i = 0; i < std::max(now.size(), recording.size()); ++i)
        if (i >= now.size() || i >= recording.size() || now[i].state != recording[i].state ||
            now[i].ranges != recording[i].ranges)
            return int(i);
    return -1;
}

// Replays one block: the fewest setFormat calls that give its formats (one per range).
void replay_block(QSyntaxHighlighter *highlighter, const Recording &recording) {
    const int number = (highlighter->*current_block)().blockNumber();
    if (number < 0 || size_t(number) >= recording.size())
        return;
    const Block &block = recording[size_t(number)];
    for (const QTextLayout::FormatRange &range : block.ranges)
        (highlighter->*set_format)(range.start, range.length, range.format);
    (highlighter->*set_state)(block.state);
}

class StateOnly : public QSyntaxHighlighter {
  public:
    using QSyntaxHighlighter::QSyntaxHighlighter;
    void highlightBlock(const QString &) override { setCurrentBlockState(0); }
};

class Replay : public QSyntaxHighlighter {
  public:
    Replay(QTextDocument *document, Recording recording)
        : QSyntaxHighlighter(document), recording_(std::move(recording)) {}
    void highlightBlock(const QString &) override { replay_block(this, recording_); }

  private:
    Recording recording_;
};

// A C++ highlighter on a document that Python holds: deleted with this object, or earlier with
// its document.
class Owned {
  public:
    explicit Owned(QSyntaxHighlighter *highlighter) : highlighter_(highlighter) {}
    ~Owned() { delete highlighter_.data(); }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    void rehighlight() {
        if (highlighter_)
            highlighter_->rehighlight();
    }

  private:
    QPointer<QSyntaxHighlighter> highlighter_;
};

// The SipReplay instance being replayed: found by identity, its C++ object read once.
struct Bound {
    PyObject *self = nullptr;
    QSyntaxHighlighter *highlighter = nullptr;
    Recording recording;
};
Bound &bound() {
    static auto *b = new Bound; // never destroyed: see the module's Names
    return *b;
}

void sip_highlight_block(py::object self, py::object /*text*/) {
    if (self.ptr() != bound().self)
        throw py::value_error("SipReplay: bind() this highlighter first");
    replay_block(bound().highlighter, bound().recording);
}

py::object sip_replay_class() {
    py::cpp_function body([](py::object ns) {
        ns["__module__"] = py::str("highlight_floors");
        ns["__qualname__"] = py::str("SipReplay");
        PyObject *method = PyInstanceMethod_New(
            py::cpp_function(&sip_highlight_block, py::arg("self"), py::arg("text")).ptr());
        if (method == nullptr)
            throw py::error_already_set();
        ns["highlightBlock"] = py::reinterpret_steal<py::object>(method);
    });
    py::tuple bases = py::make_tuple(py::module_::import("PyQt6.QtGui").attr("QSyntaxHighlighter"));
    return py::module_::import("types").attr("new_class")("SipReplay", bases, py::none(), body);
}

} // namespace

PYBIND11_MODULE(highlight_floors, m) {
    py::class_<Recording>(m, "Recording").def("__len__", [](const Recording &r) {
        return r.size();
    });
    py::class_<Owned>(m, "CppHighlighter").def("rehighlight", &Owned::rehighlight);
    m.def("record", &record, py::arg("document"));
    m.def("first_difference", &first_difference, py::arg("recording"), py::arg("document"));
    m.def("state_only", [](py::handle document) {
        return new Owned(new StateOnly(unwrap<QTextDocument>(document)));
    });
    m.def("replay", [](py::handle document, const Recording &recording) {
        return new Owned(new Replay(unwrap<QTextDocument>(document), recording));
    });
    m.def("bind", [](py::handle highlighter, const Recording &recording) {
        bound().self = highlighter.ptr();
        bound().highlighter = unwrap<QSyntaxHighlighter>(highlighter);
        bound().recording = recording;
    });
    m.attr("SipReplay") = sip_replay_class();
}

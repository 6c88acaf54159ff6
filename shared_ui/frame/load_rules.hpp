// The parts of the module's load rules that need no interpreter, so they can be unit-tested.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace shared_ui {

struct Version {
    int major = 0;
    int minor = 0;
};

// Reads "major.minor" from the start of a version text such as Py_GetVersion()'s
// "3.11.2 (main, ...)" or qVersion()'s "6.4.2"; nullopt when it does not start that way.
std::optional<Version> parse_version(const char *text);

// The warning shown when the module runs on an interpreter other than the one it was built
// for; nullopt when major and minor agree.
std::optional<std::string> version_mismatch_warning(Version built_for, const char *module,
                                                    Version running);

inline constexpr const char *kInterpreterChangeMessage =
    "Interpreter change detected - this module can only be loaded into one interpreter per "
    "process.";

// What the module finds of Qt when it loads.
struct QtFacts {
    std::string built;                     // QT_VERSION_STR when the module was compiled
    std::string built_in;                  // where that Qt's libraries were
    std::string running;                   // qVersion() of the QtCore the module calls
    std::string running_from;              // the file of that QtCore
    std::string pyqt;                      // PyQt6's QtCore.qVersion()
    std::vector<std::string> loaded_cores; // every QtCore library mapped into the process
};

// Why the module cannot run on this Qt, as an import error message; nullopt when it can. The
// module shares Qt objects with PyQt6 as plain C++ pointers, so both must use one and the same
// QtCore, and that Qt must offer everything the module was compiled against.
std::optional<std::string> qt_mismatch_error(const QtFacts &qt);

// Whether a loaded object's path names a QtCore library (and not, say, Qt6Core5Compat).
bool is_qt_core_library(const char *path);

// QtFacts as far as the module itself can tell them; PyQt6's version is left to the caller.
QtFacts this_process_qt();

} // namespace shared_ui

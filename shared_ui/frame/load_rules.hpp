// The parts of the module's load rules that need no interpreter, so they can be unit-tested.
#pragma once

#include <optional>
#include <string>

namespace shared_ui {

struct PythonVersion {
    int major = 0;
    int minor = 0;
};

// Reads "major.minor" from the start of a version text such as Py_GetVersion()'s
// "3.11.2 (main, ...)"; nullopt when it does not start that way.
std::optional<PythonVersion> parse_python_version(const char *text);

// The warning shown when the module runs on an interpreter other than the one it was built
// for; nullopt when major and minor agree.
std::optional<std::string> version_mismatch_warning(PythonVersion built_for, const char *module,
                                                    PythonVersion running);

inline constexpr const char *kInterpreterChangeMessage =
    "Interpreter change detected - this module can only be loaded into one interpreter per "
    "process.";

} // namespace shared_ui

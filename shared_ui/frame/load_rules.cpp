#include "frame/load_rules.hpp"

#include <cstdio>
#include <cstdlib>

namespace shared_ui {

std::optional<PythonVersion> parse_python_version(const char *text) {
    if (text == nullptr)
        return std::nullopt;
    char *end = nullptr;
    const long major = std::strtol(text, &end, 10);
    if (end == text || *end != '.')
        return std::nullopt;
    const char *minor_text = end + 1;
    const long minor = std::strtol(minor_text, &end, 10);
    if (end == minor_text)
        return std::nullopt;
    return PythonVersion{static_cast<int>(major), static_cast<int>(minor)};
}

std::optional<std::string> version_mismatch_warning(PythonVersion built_for, const char *module,
                                                    PythonVersion running) {
    if (built_for.major == running.major && built_for.minor == running.minor)
        return std::nullopt;
    char text[256];
    std::snprintf(text, sizeof text,
                  "compile time Python version %d.%d of module '%.100s' %s runtime version %d.%d",
                  built_for.major, built_for.minor, module, "does not match", running.major,
                  running.minor);
    return std::string(text);
}

} // namespace shared_ui

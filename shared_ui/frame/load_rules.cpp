#include "frame/load_rules.hpp"

#include "frame/platform.hpp"

#include <QtCore/qglobal.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace shared_ui {

std::optional<Version> parse_version(const char *text) {
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
    return Version{static_cast<int>(major), static_cast<int>(minor)};
}

std::optional<std::string> version_mismatch_warning(Version built_for, const char *module,
                                                    Version running) {
    if (built_for.major == running.major && built_for.minor == running.minor)
        return std::nullopt;
    char text[256];
    std::snprintf(text, sizeof text,
                  "compile time Python version %d.%d of module '%.100s' %s runtime version %d.%d",
                  built_for.major, built_for.minor, module, "does not match", running.major,
                  running.minor);
    return std::string(text);
}

namespace {

std::string joined(const std::vector<std::string> &items) {
    std::string text;
    for (const std::string &item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

// Qt keeps binary compatibility forwards across minor releases of one major version, and both
// ways between patch releases of one minor release: only major.minor decides. Gives the least
// version the module needs when the running one is below it; a text that is not a version is
// not judged.
std::optional<Version> unmet_requirement(const std::string &running, const std::string &built) {
    const auto have = parse_version(running.c_str());
    const auto need = parse_version(built.c_str());
    if (!have || !need || (have->major == need->major && have->minor >= need->minor))
        return std::nullopt;
    return need;
}

} // namespace

std::optional<std::string> qt_mismatch_error(const QtFacts &qt) {
    std::string problem;
    if (qt.loaded_cores.size() > 1) {
        problem = "shared_ui must run on the QtCore library that PyQt6 loaded, but this process "
                  "has loaded " +
                  std::to_string(qt.loaded_cores.size()) + ": " + joined(qt.loaded_cores) + ".";
    } else if (qt.running != qt.pyqt) {
        problem = "shared_ui and PyQt6 run on different Qt versions; they must share one QtCore "
                  "library.";
    } else if (const auto needed = unmet_requirement(qt.running, qt.built)) {
        problem = "shared_ui needs Qt " + std::to_string(needed->major) + "." +
                  std::to_string(needed->minor) + " or a later Qt " +
                  std::to_string(needed->major) + " release.";
    } else {
        return std::nullopt;
    }
    const auto where = [](const std::string &path) {
        return path.empty() ? std::string("location unknown") : path;
    };
    return problem + " shared_ui was built against Qt " + qt.built + " (" + where(qt.built_in) +
           ") and runs on Qt " + qt.running + " (" + where(qt.running_from) +
           "); PyQt6 runs on Qt " + qt.pyqt + ".";
}

bool is_qt_core_library(const char *path) {
    const char *name = path;
    for (const char *c = path; *c != '\0'; ++c)
        if (*c == '/' || *c == '\\')
            name = c + 1;
    const auto named = [name](std::string_view file) {
        // Windows compares file names without regard to case.
        return std::equal(
            file.begin(), file.end(), name, name + std::strlen(name),
            [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
    };
    return std::strncmp(name, "libQt6Core.so", std::strlen("libQt6Core.so")) == 0 ||
           named("Qt6Core.dll") || named("Qt6Cored.dll");
}

QtFacts this_process_qt() {
    QtFacts qt;
    qt.built = QT_VERSION_STR;
    qt.built_in = SHARED_UI_QT_LIBDIR;
    qt.running = qVersion();
    // The QtCore that holds the qVersion this module is bound to is the one it runs on.
    LoadedLibraries cores =
        loaded_libraries(is_qt_core_library, reinterpret_cast<const void *>(&qVersion));
    qt.loaded_cores = std::move(cores.paths);
    qt.running_from = std::move(cores.holding);
    return qt;
}

} // namespace shared_ui

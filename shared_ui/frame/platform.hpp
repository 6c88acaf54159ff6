// The one question the module asks the operating system rather than Qt or the interpreter: which
// libraries the process has loaded. Everything that depends on the system lives in platform.cpp,
// so that a port touches one file.
#pragma once

#include <string>
#include <vector>

namespace shared_ui {

struct LoadedLibraries {
    std::vector<std::string> paths; // every loaded library whose path `select` accepted
    std::string holding;            // the one of them that holds the address asked about, or ""
};

// The loaded libraries whose paths `select` accepts, and which of them holds `address`. On a system
// this file does not know, both stay empty: callers must treat "unknown" as no evidence either way.
LoadedLibraries loaded_libraries(bool (*select)(const char *path), const void *address);

} // namespace shared_ui

#include "frame/platform.hpp"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs. Version 2 names kernel32's K32EnumProcessModules: no psapi.lib
// to link.
#define PSAPI_VERSION 2
#include <psapi.h>
#elif defined(__linux__)
#include <link.h>
#endif

namespace shared_ui {

#if defined(_WIN32)

namespace {

std::string module_path(HMODULE module) {
    std::wstring wide(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, wide.data(), DWORD(wide.size()));
        if (length == 0)
            return {};
        if (length < wide.size()) {
            wide.resize(length);
            break;
        }
        wide.resize(wide.size() * 2); // truncated: long paths exceed MAX_PATH
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string path(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), path.data(), bytes, nullptr,
                        nullptr);
    return path;
}

} // namespace

LoadedLibraries loaded_libraries(bool (*select)(const char *path), const void *address) {
    LoadedLibraries found;
    const HANDLE process = GetCurrentProcess();
    std::vector<HMODULE> modules(256);
    DWORD needed = 0;
    for (;;) {
        const auto capacity = DWORD(modules.size() * sizeof(HMODULE));
        if (!EnumProcessModules(process, modules.data(), capacity, &needed))
            return found;
        if (needed <= capacity)
            break;
        modules.resize(needed / sizeof(HMODULE));
    }
    modules.resize(needed / sizeof(HMODULE));
    HMODULE holder = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(address), &holder);
    for (HMODULE module : modules) {
        const std::string path = module_path(module);
        if (path.empty() || !select(path.c_str()))
            continue;
        found.paths.push_back(path);
        if (module == holder)
            found.holding = path;
    }
    return found;
}

#elif defined(__linux__)

LoadedLibraries loaded_libraries(bool (*select)(const char *path), const void *address) {
    struct Search {
        bool (*select)(const char *);
        ElfW(Addr) address;
        LoadedLibraries found;
    } search{select, reinterpret_cast<ElfW(Addr)>(address), {}};
    // Walking the mapped segments takes under a microsecond; dladdr would search symbol tables.
    dl_iterate_phdr(
        [](dl_phdr_info *object, size_t, void *data) {
            auto &search = *static_cast<Search *>(data);
            if (object->dlpi_name == nullptr || !search.select(object->dlpi_name))
                return 0;
            search.found.paths.emplace_back(object->dlpi_name);
            for (ElfW(Half) i = 0; i < object->dlpi_phnum; ++i) {
                const ElfW(Phdr) &segment = object->dlpi_phdr[i];
                const ElfW(Addr) start = object->dlpi_addr + segment.p_vaddr;
                if (segment.p_type == PT_LOAD && search.address >= start &&
                    search.address - start < segment.p_memsz)
                    search.found.holding = object->dlpi_name;
            }
            return 0;
        },
        &search);
    return search.found;
}

#else

LoadedLibraries loaded_libraries(bool (*)(const char *), const void *) {
    return {};
}

#endif

} // namespace shared_ui

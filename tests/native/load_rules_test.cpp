// The load rules that need no interpreter; tests/test_module_loading.py sees them at work.
#include "frame/load_rules.hpp"

#include <QtCore/qglobal.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using shared_ui::parse_version;
using shared_ui::version_mismatch_warning;

TEST(ParseVersion, ReadsMajorAndMinorFromTheStartOfTheText) {
    const auto version = parse_version("3.11.2 (main, Mar 13 2023, 12:18:29) [GCC 12.2.0]");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->major, 3);
    EXPECT_EQ(version->minor, 11);
    EXPECT_EQ(parse_version("3.9")->minor, 9);
    for (const char *text : {"", "3", "x.11", "3.", "3.x", "311"})
        EXPECT_FALSE(parse_version(text)) << text;
    EXPECT_FALSE(parse_version(nullptr));
}

TEST(VersionMismatchWarning, NamesBothVersionsAndTheModuleCutAtAHundredCharacters) {
    EXPECT_FALSE(version_mismatch_warning({3, 11}, "shared_ui", {3, 11}));
    EXPECT_EQ(*version_mismatch_warning({3, 11}, "shared_ui", {3, 12}),
              "compile time Python version 3.11 of module 'shared_ui' does not match runtime "
              "version 3.12");
    EXPECT_EQ(*version_mismatch_warning({3, 11}, "m", {2, 11}),
              "compile time Python version 3.11 of module 'm' does not match runtime version 2.11");
    const std::string long_name(150, 'n');
    EXPECT_EQ(*version_mismatch_warning({3, 11}, long_name.c_str(), {3, 10}),
              "compile time Python version 3.11 of module '" + std::string(100, 'n') +
                  "' does not match runtime version 3.10");
}

namespace {

using shared_ui::QtFacts;

struct QtCase {
    const char *name;
    const char *running;
    const char *pyqt;
    std::vector<std::string> loaded;
    const char *problem; // nullptr: the module may load
};

const char *const kSystemCore = "/usr/lib/x86_64-linux-gnu/libQt6Core.so.6";
const char *const kOtherCore = "/opt/qt/lib/libQt6Core.so.6";
const char *const kTwoCores = "shared_ui must run on the QtCore library that PyQt6 loaded, but "
                              "this process has loaded 2: /usr/lib/x86_64-linux-gnu/"
                              "libQt6Core.so.6, /opt/qt/lib/libQt6Core.so.6.";
const char *const kOlderQt = "shared_ui needs Qt 6.4 or a later Qt 6 release.";
const char *const kOtherQt = "shared_ui and PyQt6 run on different Qt versions; they must share "
                             "one QtCore library.";

const QtCase qt_cases[] = {
    {"SameQt", "6.4.2", "6.4.2", {kSystemCore}, nullptr},
    {"EarlierPatchOfTheSameMinor", "6.4.0", "6.4.0", {kSystemCore}, nullptr},
    {"LaterMinor", "6.7.1", "6.7.1", {kOtherCore}, nullptr},
    {"NoCoreSeen", "6.4.2", "6.4.2", {}, nullptr},
    {"OlderMinor", "6.2.4", "6.2.4", {kOtherCore}, kOlderQt},
    {"TwoCores", "6.4.2", "6.5.0", {kSystemCore, kOtherCore}, kTwoCores},
    {"TwoCoresOfOneVersion", "6.4.2", "6.4.2", {kSystemCore, kOtherCore}, kTwoCores},
    {"PyQtOnAnotherVersion", "6.4.2", "6.5.0", {kSystemCore}, kOtherQt},
};

class QtMismatch : public testing::TestWithParam<QtCase> {};

// The problem, then what the module was built against, runs on, and what PyQt6 runs on.
TEST_P(QtMismatch, DecidesFromVersionsAndLoadedLibraries) {
    const QtCase &c = GetParam();
    // Built against, running on (from the first core loaded), PyQt6's Qt, every core loaded.
    const QtFacts qt{"6.4.2",   "/usr/lib/x86_64-linux-gnu",
                     c.running, c.loaded.empty() ? std::string() : c.loaded.front(),
                     c.pyqt,    c.loaded};
    const auto error = shared_ui::qt_mismatch_error(qt);
    if (c.problem == nullptr) {
        EXPECT_FALSE(error) << *error;
        return;
    }
    const std::string built = " shared_ui was built against Qt 6.4.2 (/usr/lib/x86_64-linux-gnu)";
    EXPECT_EQ(error.value_or("(none)"), c.problem + built + " and runs on Qt " + c.running + " (" +
                                            qt.running_from + "); PyQt6 runs on Qt " + c.pyqt +
                                            ".");
}

INSTANTIATE_TEST_SUITE_P(Cases, QtMismatch, testing::ValuesIn(qt_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(QtCoreLibrary, IsRecognisedByItsFileName) {
    for (const char *path :
         {kSystemCore, "libQt6Core.so.6.4.2", R"(C:\Qt\6.4.2\bin\Qt6Core.dll)", "qt6cored.dll"})
        EXPECT_TRUE(shared_ui::is_qt_core_library(path)) << path;
    for (const char *path : {"/usr/lib/x86_64-linux-gnu/libQt6Core5Compat.so.6",
                             "/usr/lib/x86_64-linux-gnu/libQt6Gui.so.6", "linux-vdso.so.1", "",
                             R"(C:\Qt\bin\Qt6Core5Compat.dll)", "Qt6Core.dll.bak"})
        EXPECT_FALSE(shared_ui::is_qt_core_library(path)) << path;
}

TEST(ThisProcessQt, FindsTheOneQtCoreItRunsOn) {
    const QtFacts qt = shared_ui::this_process_qt();
    EXPECT_EQ(qt.running, qVersion());
    ASSERT_EQ(qt.loaded_cores.size(), 1u);
    EXPECT_EQ(qt.loaded_cores.front(), qt.running_from);
}

} // namespace

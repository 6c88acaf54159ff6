#include "frame/load_rules.hpp"

#include <gtest/gtest.h>

using shared_ui::parse_python_version;
using shared_ui::PythonVersion;
using shared_ui::version_mismatch_warning;

TEST(ParsePythonVersion, ReadsMajorAndMinorOfInterpreterText) {
    auto version = parse_python_version("3.11.2 (main, Mar 13 2023, 12:18:29) [GCC 12.2.0]");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->major, 3);
    EXPECT_EQ(version->minor, 11);
    version = parse_python_version("3.9");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->minor, 9);
}

TEST(ParsePythonVersion, RejectsOtherText) {
    for (const char *text : {"", "3", "x.11", "3.", "3.x", "311"})
        EXPECT_FALSE(parse_python_version(text)) << text;
    EXPECT_FALSE(parse_python_version(nullptr));
}

TEST(VersionMismatchWarning, SilentWhenMajorAndMinorAgree) {
    EXPECT_FALSE(version_mismatch_warning({3, 11}, "shared_ui", {3, 11}));
}

TEST(VersionMismatchWarning, NamesBothVersionsAndTheModule) {
    EXPECT_EQ(*version_mismatch_warning({3, 11}, "shared_ui", {3, 12}),
              "compile time Python version 3.11 of module 'shared_ui' does not match runtime "
              "version 3.12");
    EXPECT_EQ(*version_mismatch_warning({3, 11}, "m", {2, 11}),
              "compile time Python version 3.11 of module 'm' does not match runtime version 2.11");
}

TEST(VersionMismatchWarning, CutsTheModuleNameAtAHundredCharacters) {
    const std::string long_name(150, 'n');
    const std::string text = *version_mismatch_warning({3, 11}, long_name.c_str(), {3, 10});
    EXPECT_NE(text.find("'" + std::string(100, 'n') + "'"), std::string::npos);
    EXPECT_EQ(text.find(std::string(101, 'n')), std::string::npos);
}

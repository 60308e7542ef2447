#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "update/path_rules.h"
#include "update/text_rules.h"

namespace {

TEST(IsValidRelativePath, AcceptsOrdinaryRelativePaths) {
    for (const char* path : {"a.txt", "dir/sub\\file.dll", ".hidden", "CONSOLE.txt", "COM0",
                             "com10", "Lpt", "COM1x", "a..b", "nulx.txt", "CONIN", "x/con_1/y",
                             "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF/\xE3\x83\x95.txt",
                             "COM\xC2\xB9x", "LPT\xC2\xB4", "x .y"}) {
        EXPECT_TRUE(ncUpdate::IsValidRelativePath(path)) << path;
    }
}

// Everything that could leave the folder, name a device, or be renamed by
// Windows on the way to the disk.
TEST(IsValidRelativePath, RefusesHostileAndAmbiguousPaths) {
    const std::string cases[] = {
        // shape
        "", "/a", "a/", "\\a", "a\\", "a//b", "a\\\\b", "//server/share/x", "\\\\?\\C:\\x",
        // dot components and trailing dots or blanks
        ".", "..", "a/./b", "a/../b", "../a", "a\\..\\..\\b", "a.", "a ", "a /b", "a./b",
        // drive letters, streams and wildcards
        "C:\\x", "C:x", "a:b", "file.txt::$DATA", "a*b", "a?b", "a<b", "a>b", "a|b", "a\"b",
        // control bytes
        "a\tb", std::string("a\0b", 3), "a\x1f", "\x7f\x01",
        // devices, in any case, with any extension, in any folder
        "con", "Con.txt", "aux.tar.gz", "NUL", "prn", "clock$", "COM1", "lpt9.log", "x/com5/y",
        "dir\\NUL.dat",
        // the mend: blanks before the extension, console stems, superscript digits
        "nul .txt", "CON .log", "com1  .x", "CONIN$", "conout$.txt", "COM\xC2\xB9",
        "lpt\xC2\xB2.txt", "x/Com\xC2\xB3"};
    for (const std::string& path : cases) {
        EXPECT_FALSE(ncUpdate::IsValidRelativePath(path)) << path;
    }
}

TEST(HasExternalPrefix, OnlyAWholeFirstComponent) {
    const struct {
        const char* path;
        bool expected;
    } cases[] = {
        {"EXTERNAL/x", true},    {"external\\x", true}, {"ExTeRnAl/a/b", true},
        {"EXTERNALS/x", false},  {"EXTERNA/x", false},  {"EXTERNAL", false},
        {"x/EXTERNAL/y", false}, {"", false},           {"/EXTERNAL/x", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ncUpdate::HasExternalPrefix(c.path), c.expected) << c.path;
    }
}

TEST(ParseDecimalUInt64, WholeFieldDigitsWithinRange) {
    const struct {
        const char* text;
        bool ok;
        std::uint64_t value;
    } cases[] = {
        {"0", true, 0},
        {"007", true, 7},
        {"18446744073709551615", true, UINT64_MAX},
        {"018446744073709551615", true, UINT64_MAX},
        {"18446744073709551616", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {"-1", false, 0},
        {"+1", false, 0},
        {" 1", false, 0},
        {"1 ", false, 0},
        {"1a", false, 0},
        {"0x10", false, 0},
    };
    for (const auto& c : cases) {
        std::uint64_t value = 42;
        EXPECT_EQ(ncUpdate::ParseDecimalUInt64(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(TrimTrailingWhitespace, RemovesOnlyTrailingTabLineEndsAndBlanks) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"abc \r\n\t", "abc"}, {" \r\n", ""}, {" abc", " abc"},
                 {"a\vb\v", "a\vb\v"},  {"", ""},      {"a \tb ", "a \tb"}};
    for (const auto& c : cases) {
        std::string text = c.in;
        ncUpdate::TrimTrailingWhitespace(text);
        EXPECT_EQ(text, c.out);
    }
}

}  // namespace

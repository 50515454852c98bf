#include "fetch/cmdline.h"

#include <gtest/gtest.h>

namespace {

DldCommandLine Parse(const std::wstring& line, bool expectOk = true)
{
    DldCommandLine c;
    EXPECT_EQ(expectOk, ParseDldCommandLine(line, &c)) << std::string(line.begin(), line.end());
    return c;
}

// Each accepted line with the four values it must give.
TEST(DldCommandLine, AcceptedLinesGiveTheirFourValues)
{
    const struct {
        const char* name;
        const wchar_t* line;
        int hwnd, type;
        const wchar_t *url, *path;
    } cases[] = {
        {"well formed",
         L"C:\\fetchkit.exe /hwnd=66112 /downloadtype=2 /downloadurl=http://h/a.bin "
         L"/downloadpath=C:\\dl\\a.bin",
         66112, 2, L"http://h/a.bin", L"C:\\dl\\a.bin"},
        // Blanks in the URL and the path, quotes kept, trailing blanks of the path kept.
        {"taken literally",
         L"\"C:\\Program Files\\x\\fetchkit.exe\" /hwnd=5 /downloadtype=0 "
         L"/downloadurl=http://h/my file.bin?a=1 b "
         L"/downloadpath=\"C:\\Program Files\\a b.bin\"  ",
         5, 0, L"http://h/my file.bin?a=1 b", L"\"C:\\Program Files\\a b.bin\"  "},
        // "/hwnd=" may follow the program name without a blank; empty values are allowed.
        {"no blank, empty values",
         L"fetchkit.exe/hwnd=7 /downloadtype= /downloadurl= /downloadpath=", 7, 0, L"", L""},
        // A later " /downloadpath=" inside the path stays part of the path.
        {"first occurrence counts",
         L"f /hwnd=1 /downloadtype=1 /downloadurl=u /downloadpath=a /downloadpath=b", 1, 1, L"u",
         L"a /downloadpath=b"},
        // atol rules: hexadecimal gives 0 (no reports); unknown types are accepted.
        {"atol hex and unknown type",
         L"f /hwnd=0x1A2B /downloadtype=7 /downloadurl=u /downloadpath=p", 0, 7, L"u", L"p"},
        {"atol sign and trailing text",
         L"f /hwnd=  -12abc /downloadtype=+2x /downloadurl=u /downloadpath=p", -12, 2, L"u", L"p"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto v = Parse(c.line);
        EXPECT_EQ(c.hwnd, v.hwnd);
        EXPECT_EQ(c.type, v.type);
        EXPECT_EQ(c.url, v.url);
        EXPECT_EQ(c.path, v.path);
    }
}

TEST(DldCommandLine, MissingOrMisorderedKeysAreRefused)
{
    Parse(L"f /downloadtype=0 /downloadurl=u /downloadpath=p", false);
    Parse(L"f /hwnd=1", false);
    Parse(L"f /hwnd=1 /downloadtype=0 /downloadurl=u", false);
    Parse(L"f /hwnd=1 /downloadurl=u /downloadpath=p", false);
    Parse(L"f /hwnd=1 /downloadurl=u /downloadtype=0 /downloadpath=p", false);
    Parse(L"f /downloadtype=0 /hwnd=1 /downloadurl=u /downloadpath=p", false);
    Parse(L"f /HWND=1 /downloadtype=0 /downloadurl=u /downloadpath=p", false);  // case-sensitive
    Parse(L"", false);
}

TEST(WideAtol, EdgeCases)
{
    EXPECT_EQ(0, WideAtol(L""));
    EXPECT_EQ(0, WideAtol(L"abc"));
    EXPECT_EQ(0, WideAtol(L"-"));
    EXPECT_EQ(0, WideAtol(L"+ 5"));
    EXPECT_EQ(42, WideAtol(L"\t\n 42 7"));
    EXPECT_EQ(2147483647, WideAtol(L"99999999999999999999999"));
    EXPECT_EQ(-2147483647 - 1, WideAtol(L"-99999999999999999999999"));
    EXPECT_EQ(-2147483647 - 1, WideAtol(L"-2147483648"));
    EXPECT_EQ(0, WideAtol(L"\x0663"));  // only ASCII digits count
}

}  // namespace

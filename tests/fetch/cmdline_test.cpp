#include "fetch/cmdline.h"

#include <gtest/gtest.h>

namespace {

DldCommandLine Parse(const std::wstring& line, bool expectOk = true)
{
    DldCommandLine c;
    EXPECT_EQ(expectOk, ParseDldCommandLine(line, &c)) << std::string(line.begin(), line.end());
    return c;
}

TEST(DldCommandLine, WellFormedLineGivesFourValues)
{
    auto c = Parse(L"C:\\fetchkit.exe /hwnd=66112 /downloadtype=2 /downloadurl=http://h/a.bin "
                   L"/downloadpath=C:\\dl\\a.bin");
    EXPECT_EQ(66112, c.hwnd);
    EXPECT_EQ(2, c.type);
    EXPECT_EQ(L"http://h/a.bin", c.url);
    EXPECT_EQ(L"C:\\dl\\a.bin", c.path);
}

TEST(DldCommandLine, ValuesAreTakenLiterally)
{
    // Blanks in the URL and the path, quotes kept, trailing blanks of the path kept.
    auto c = Parse(L"\"C:\\Program Files\\x\\fetchkit.exe\" /hwnd=5 /downloadtype=0 "
                   L"/downloadurl=http://h/my file.bin?a=1 b /downloadpath=\"C:\\Program Files\\a b.bin\"  ");
    EXPECT_EQ(L"http://h/my file.bin?a=1 b", c.url);
    EXPECT_EQ(L"\"C:\\Program Files\\a b.bin\"  ", c.path);
    // "/hwnd=" may follow the program name without a blank; empty values are allowed.
    c = Parse(L"fetchkit.exe/hwnd=7 /downloadtype= /downloadurl= /downloadpath=");
    EXPECT_EQ(7, c.hwnd);
    EXPECT_EQ(0, c.type);
    EXPECT_EQ(L"", c.url);
    EXPECT_EQ(L"", c.path);
}

TEST(DldCommandLine, FirstOccurrenceOfEachKeyCounts)
{
    // A later " /downloadpath=" inside the path stays part of the path.
    auto c = Parse(L"f /hwnd=1 /downloadtype=1 /downloadurl=u /downloadpath=a /downloadpath=b");
    EXPECT_EQ(L"a /downloadpath=b", c.path);
    EXPECT_EQ(1, c.type);
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

TEST(DldCommandLine, HandleAndTypeFollowAtolRules)
{
    auto c = Parse(L"f /hwnd=0x1A2B /downloadtype=7 /downloadurl=u /downloadpath=p");
    EXPECT_EQ(0, c.hwnd);  // hexadecimal gives 0: no reports
    EXPECT_EQ(7, c.type);  // unknown types are accepted by the parser
    c = Parse(L"f /hwnd=  -12abc /downloadtype=+2x /downloadurl=u /downloadpath=p");
    EXPECT_EQ(-12, c.hwnd);
    EXPECT_EQ(2, c.type);
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

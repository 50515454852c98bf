// The shared download recipe under Wine: both the narrow and the wide form fetch a body from a
// real socket into a real file, and the count guard refuses what would run past the announced
// length or past 32 bits.
#include "framework/httpget.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/fetch/tinyhttp.h"

namespace {

TEST(HttpGet, ChunkGuard)
{
    struct Case {
        bool known;
        DWORD total, present, count;
        bool fits;
    } const cases[] = {
        {true, 10, 0, 10, true},               // exactly the announced length
        {true, 10, 8, 3, false},               // one byte past it
        {true, 10, 12, 1, false},              // already past it
        {false, 0, 100, 2048, true},           // no length announced
        {false, 0, 0xFFFFF800u, 2047, true},   // up to the last 32-bit count
        {false, 0, 0xFFFFF800u, 2048, false},  // one more would wrap
        {true, 0xFFFFFFFFu, 0xFFFFFFFFu, 1, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.fits, HttpChunkFits(c.known, c.total, c.present, c.count))
            << c.known << " " << c.total << " " << c.present << " " << c.count;
}

std::string Contents(const std::string& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string TempPath()
{
    char dir[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "httpget_test_" + std::to_string(::GetCurrentProcessId()) + ".bin";
}

// Opens, reads and writes in one form; the body arrives whole, counted chunk by chunk.
template <class Get, class Url>
void FetchesTheWholeBody(const Url& url, const std::string& body)
{
    const std::string path = TempPath();
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    Get get;
    ASSERT_EQ(HttpGetResult::Done, get.Open(url.c_str()));
    EXPECT_TRUE(get.m_bLengthKnown);
    EXPECT_EQ(body.size(), get.m_dwTotal);
    DWORD present = 0, reported = 0;
    int chunks = 0;
    EXPECT_EQ(HttpGetResult::Done, get.Receive(file, &present, [&] {
        ++chunks;
        EXPECT_LE(present - reported, 2048u);
        reported = present;
    }));
    ::CloseHandle(file);
    EXPECT_EQ(body.size(), present);
    EXPECT_GE(chunks, 3);
    EXPECT_EQ(body, Contents(path));
    ::DeleteFileA(path.c_str());
}

TEST(HttpGet, NarrowAndWideFormsFetchTheWholeBody)
{
    const std::string body(5000, 'b');
    TinyHttpServer server(body);
    FetchesTheWholeBody<CHttpGetA>(server.Url(), body);
    FetchesTheWholeBody<CHttpGetW>(server.UrlW(), body);
}

}  // namespace

// GetFileMd5 on real files under Wine: same digest as the in-memory MD5 for sizes around the
// 1024-byte read block, and no digest for a file that is missing or cannot be shared for reading.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "update/filemd5.h"
#include "update/md5.h"

namespace {

std::string TempFile(const char* name)
{
    char dir[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

void WriteFileBytes(const std::string& path, const std::vector<char>& data)
{
    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    if (!data.empty())
        ::WriteFile(f, data.data(), DWORD(data.size()), &written, nullptr);
    ::CloseHandle(f);
}

TEST(FileMd5, MatchesDigestOfContentAcrossBlockEdges)
{
    const std::string path = TempFile("update_file_md5.bin");
    for (size_t size : {0, 1, 1023, 1024, 1025, 2048, 100000}) {
        std::vector<char> data(size);
        for (size_t i = 0; i < size; ++i)
            data[i] = char(i * 131 + (i >> 7));
        WriteFileBytes(path, data);
        char digest[33] = {};
        ASSERT_TRUE(GetFileMd5(path.c_str(), digest)) << size;
        EXPECT_EQ(std::string(digest), upd::Md5Hex(data.data(), size)) << size;
    }
    ::DeleteFileA(path.c_str());
}

TEST(FileMd5, NoDigestWhenTheFileCannotBeOpened)
{
    char digest[33] = {};
    EXPECT_FALSE(GetFileMd5(TempFile("update_no_such_file.bin").c_str(), digest));
    EXPECT_STREQ(digest, "");
    // A writer that shares nothing keeps the reader out.
    const std::string path = TempFile("update_locked.bin");
    WriteFileBytes(path, std::vector<char>(10, 'x'));
    HANDLE writer =
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(GetFileMd5(path.c_str(), digest));
    ::CloseHandle(writer);
    EXPECT_TRUE(GetFileMd5(path.c_str(), digest));
    ::DeleteFileA(path.c_str());
}

}  // namespace

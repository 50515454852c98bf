// The package check and the installer run under Wine, with the stand-in installer (update_stub)
// as the package: a package that cannot be checked is not run when a digest is expected, and
// nothing can change the package between its check and the installer's start.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "update/filemd5.h"
#include "update/install.h"
#include "update/updateapp.h"
#include "update/report_text.h"

namespace {

std::string BinDir()
{
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir(self);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

std::string TempPath(const char* name)
{
    char dir[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "update_install_" + std::to_string(::GetCurrentProcessId()) + "_" +
           name;
}

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A copy of the stand-in installer as the package, with its start record and its digest.
class InstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(::CopyFileA((BinDir() + "update_stub.exe").c_str(), package.c_str(), FALSE));
        ::DeleteFileA(log.c_str());
        ::SetEnvironmentVariableA("UPDATE_STUB_LOG", log.c_str());
        char md5[33] = {};
        ASSERT_TRUE(GetFileMd5(package.c_str(), md5));
        digest = md5;
        g_strExpectedMd5 = digest;
    }
    void TearDown() override
    {
        g_strExpectedMd5.clear();
        ::SetEnvironmentVariableA("UPDATE_STUB_LOG", nullptr);
        ::DeleteFileA(package.c_str());
        ::DeleteFileA(log.c_str());
    }
    // The start and end lines the installer wrote: "start|<module>|<command line>", "end|...".
    std::string Record() const { return Contents(log); }

    const std::string package = TempPath("package.exe");
    const std::string log = TempPath("stub.log");
    std::string digest;
};

TEST_F(InstallTest, PackageThatCannotBeReadForItsDigest)
{
    // Another handle with delete access keeps the reader out but not the program loader.
    HANDLE locker =
        ::CreateFileA(package.c_str(), DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE);
    char md5[33] = {};
    ASSERT_FALSE(GetFileMd5(package.c_str(), md5));

    EXPECT_EQ(upd::UPD_ERR_CHECKSUM, CheckAndInstallPackage(package.c_str()));
    EXPECT_EQ("", Record());
    // Without an expected digest the package is installed, checked or not.
    CHeldPackage held(package.c_str());
    EXPECT_EQ(0u, held.Check(""));
    EXPECT_EQ(0u, RunInstaller(held));
    EXPECT_EQ(0u, Record().find("start|")) << Record();
    ::CloseHandle(locker);
}

TEST_F(InstallTest, NothingReplacesThePackageBetweenCheckAndStart)
{
    const std::string other = TempPath("other.exe");
    std::ofstream(other, std::ios::binary) << "not the package";
    CHeldPackage held(package.c_str());
    ASSERT_EQ(0u, held.Check(digest));

    HANDLE writer = ::CreateFileA(package.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE)
        ::CloseHandle(writer);
    EXPECT_FALSE(::MoveFileExA(other.c_str(), package.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(::DeleteFileA(package.c_str()));

    EXPECT_EQ(0u, RunInstaller(held));
    EXPECT_EQ(0u, Record().find("start|")) << Record();
    // Let go once the installer has started.
    EXPECT_TRUE(::MoveFileExA(other.c_str(), package.c_str(), MOVEFILE_REPLACE_EXISTING));
}

}  // namespace

// The single-instance mutex is not handed down: a long-lived program started with handle
// inheritance while Update runs (a browser for the download page) does not keep the name alive,
// so the next Update is not taken for a second instance.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "update/updateapp.h"

namespace {

std::string StubPath()
{
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir(self);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + "update_stub.exe";
}

TEST(InstanceMutex, ChildStartedWithInheritanceDoesNotHoldIt)
{
    const std::string name =
        "Local\\update-instance-test-" + std::to_string(::GetCurrentProcessId());
    bool existed = true;
    HANDLE first = CreateSharedMutex(name.c_str(), existed);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(existed);

    // The stand-in stays until it is ended below, longer than the first holder.
    ::SetEnvironmentVariableA("UPDATE_STUB_SLEEP_MS", "600000");
    std::string commandLine = "\"" + StubPath() + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    ASSERT_TRUE(::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &child));
    ::SetEnvironmentVariableA("UPDATE_STUB_SLEEP_MS", nullptr);
    ::CloseHandle(first);

    HANDLE next = CreateSharedMutex(name.c_str(), existed);
    EXPECT_NE(next, nullptr);
    EXPECT_FALSE(existed) << "the child process still holds the mutex";
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(child.hProcess, 0));  // it did outlive the first

    ::TerminateProcess(child.hProcess, 0);
    ::CloseHandle(child.hProcess);
    ::CloseHandle(child.hThread);
    if (next)
        ::CloseHandle(next);
}

}  // namespace

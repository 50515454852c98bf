#include "update/settings.h"

#include <cstdlib>

namespace upd {
namespace {

const DWORD kInstallTimeLimitMs = 300000;
// Vendor's download page; the path and installer name are fixed, the host is this build's.
const char kManualDownloadAddress[] = "http://www.qelvo.com/download/down/Qelvo用户端安装包.exe";

#ifdef UPDATE_TEST_HOOKS
const char* TestSetting(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}
#endif

}  // namespace

DWORD InstallTimeLimitMs()
{
#ifdef UPDATE_TEST_HOOKS
    if (const char* ms = TestSetting("UPDATE_TEST_INSTALL_LIMIT_MS"))
        return DWORD(std::strtoul(ms, nullptr, 10));
#endif
    return kInstallTimeLimitMs;
}

bool GuidTextAvailable()
{
#ifdef UPDATE_TEST_HOOKS
    if (TestSetting("UPDATE_TEST_NO_GUID_TEXT"))
        return false;
#endif
    return true;
}

bool TestInstallerNeedsElevation()
{
#ifdef UPDATE_TEST_HOOKS
    if (TestSetting("UPDATE_TEST_ELEVATION_REQUIRED"))
        return true;
#endif
    return false;
}

bool TestActsOffline()
{
#ifdef UPDATE_TEST_HOOKS
    if (TestSetting("UPDATE_TEST_OFFLINE"))
        return true;
#endif
    return false;
}

void TestPauseBeforeDialog()
{
#ifdef UPDATE_TEST_HOOKS
    if (const char* ms = TestSetting("UPDATE_TEST_DIALOG_DELAY_MS"))
        ::Sleep(DWORD(std::strtoul(ms, nullptr, 10)));
#endif
}

const char* ManualDownloadAddress()
{
#ifdef UPDATE_TEST_HOOKS
    if (const char* address = TestSetting("UPDATE_TEST_DOWNLOAD_PAGE"))
        return address;
#endif
    return kManualDownloadAddress;
}

}  // namespace upd

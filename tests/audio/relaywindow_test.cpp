// The devices' relay windows are message-only: the relay threads post to them by handle, and
// they must stay out of the top-level windows that system broadcasts go to.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "voice/wavein.h"
#include "voice/waveout.h"

namespace {

BOOL CALLBACK CollectTopLevel(HWND hWnd, LPARAM lParam)
{
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

void ExpectMessageOnly(HWND hWnd, const char* pszClass)
{
    ASSERT_NE(hWnd, nullptr);
    EXPECT_EQ(FindWindowExA(HWND_MESSAGE, NULL, pszClass, NULL), hWnd) << pszClass;
    std::vector<HWND> topLevel;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&topLevel));
    EXPECT_EQ(std::count(topLevel.begin(), topLevel.end(), hWnd), 0) << pszClass;
}

TEST(RelayWindows, AreMessageOnlyAndNotAmongTheTopLevelWindows)
{
    CWaveIn in;
    CWaveOut out;
    ASSERT_EQ(in.StartThread(), 1);
    ASSERT_EQ(out.StartThread(), 1);
    ExpectMessageOnly(in.m_hWnd, "ZEB Wavein Dummy Window");
    ExpectMessageOnly(out.m_hWnd, "ZEB Waveout Dummy Window");
    EXPECT_EQ(in.StopThread(), 1);
    EXPECT_EQ(out.StopThread(), 1);
}

}  // namespace

// The window layer under Wine: messages reach the object's handler, unhandled ones reach the
// default procedure, destruction clears the handle and calls the final hook once, and the
// message loop offers each message to its filters and returns the quit code.
#include "framework/msgloop.h"
#include "framework/winapp.h"
#include "tests/framework/msgwindow.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class RecordingWindow : public CMessageWindow {
public:
    std::vector<UINT> seen;
    int finals = 0;

protected:
    BOOL ProcessWindowMessage(HWND, UINT msg, WPARAM wp, LPARAM, LRESULT& result) override
    {
        if (msg == WM_USER + 1) {
            seen.push_back(msg);
            result = static_cast<LRESULT>(wp * 2);
            return TRUE;
        }
        if (msg == WM_USER + 2) {
            seen.push_back(msg);
            ::PostQuitMessage(static_cast<int>(wp));
            return TRUE;
        }
        return FALSE;
    }
    void OnFinalMessage() override { ++finals; }
};

TEST(Window, HandlerAnswersAndDefaultsTheRest)
{
    RecordingWindow w;
    ASSERT_NE(w.Create(L"TestRecordingWindow", L"t", WS_POPUP, 0), nullptr);
    EXPECT_EQ(w.SendMessage(WM_USER + 1, 21), 42);
    EXPECT_EQ(w.SendMessage(WM_USER + 7), 0);  // default procedure
    ASSERT_EQ(w.seen.size(), 1u);

    // A second window of the same class registers nothing new and works alike.
    RecordingWindow w2;
    ASSERT_NE(w2.Create(L"TestRecordingWindow", L"t2", WS_POPUP, 0), nullptr);
    EXPECT_EQ(w2.SendMessage(WM_USER + 1, 5), 10);

    HWND h = w.m_hWnd;
    w.DestroyWindow();
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ(w.m_hWnd, nullptr);
    EXPECT_EQ(w.finals, 1);
}

// Swallows the messages it is given the number of.
class SwallowingFilter : public CMessageFilter {
public:
    explicit SwallowingFilter(UINT msg) : m_msg(msg) {}
    BOOL PreTranslateMessage(MSG* msg) override { return msg->message == m_msg; }

private:
    UINT m_msg;
};

TEST(Window, MessageLoopFiltersAndReturnsQuitCode)
{
    RecordingWindow w;
    ASSERT_NE(w.Create(L"TestRecordingWindow", L"t", WS_POPUP, 0), nullptr);
    w.PostMessage(WM_USER + 1, 1);
    w.PostMessage(WM_USER + 2, 7);
    CMessageLoop loop;
    SwallowingFilter filter(WM_USER + 1);
    loop.AddMessageFilter(&filter);
    EXPECT_EQ(loop.Run(), 7);
    EXPECT_EQ(w.seen, std::vector<UINT>{WM_USER + 2});
}

TEST(Window, DestructorDestroysTheWindow)
{
    HWND h;
    {
        RecordingWindow w;
        h = w.Create(L"TestRecordingWindow", L"t", WS_POPUP, 0);
        ASSERT_TRUE(::IsWindow(h));
    }
    EXPECT_FALSE(::IsWindow(h));
}

class QuitApp : public CWinApp {
public:
    BOOL InitInstance() override { return FALSE; }
    int ExitInstance() override { return 3; }
};

TEST(WinApp, FailedStartUpSkipsTheLoopAndExits)
{
    QuitApp app;
    EXPECT_EQ(CWinApp::Current(), &app);
    EXPECT_EQ(RunApplication(app, nullptr), 3);
    EXPECT_NE(app.m_hInstance, nullptr);
}

}  // namespace

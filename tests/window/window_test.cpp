// The window layer under Wine: messages reach the object's handler, unhandled ones reach the
// default procedure, destruction clears the handle and calls the final hook once, and the
// message loop offers each message to its filters and returns the quit code; the gathering loop
// loses and reorders nothing a worker streams at it, and still serves sent messages and timers.
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

// Records the stream's values; answers sent messages; quits on WM_USER + 2.
class StreamWindow : public RecordingWindow {
public:
    std::vector<WPARAM> values;
    int timers = 0;
    HANDLE timerSeen = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~StreamWindow() { ::CloseHandle(timerSeen); }

protected:
    BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override
    {
        if (msg == WM_USER + 3) {
            values.push_back(wp);
            return TRUE;
        }
        if (msg == WM_TIMER) {
            ++timers;
            ::KillTimer(hwnd, wp);
            ::SetEvent(timerSeen);
            return TRUE;
        }
        return RecordingWindow::ProcessWindowMessage(hwnd, msg, wp, lp, result);
    }
};

// Tells the streaming thread each time the loop has emptied its queue.
class IdleSignal : public CIdleHandler {
public:
    HANDLE idle = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ~IdleSignal() { ::CloseHandle(idle); }
    BOOL OnIdle() override
    {
        ::SetEvent(idle);
        return FALSE;
    }
};

struct Stream {
    HWND window;
    HANDLE idle;
    HANDLE timerSeen;
    LRESULT answer = 0;
};

// Waits until the loop is idle (so the first post wakes a loop that waits for anything), posts a
// first half, asks a question with SendMessage (answered while the loop gathers), waits for the
// window's timer (timers come through while posted messages stream in), posts the rest and then
// the quit request.
DWORD WINAPI StreamThread(void* param)
{
    Stream* stream = static_cast<Stream*>(param);
    ::WaitForSingleObject(stream->idle, INFINITE);
    for (WPARAM i = 0; i < 3000; ++i) {
        ::PostMessageW(stream->window, WM_USER + 3, i, 0);
        if (i == 1500) {
            stream->answer = ::SendMessageW(stream->window, WM_USER + 1, 21, 0);
            ::WaitForSingleObject(stream->timerSeen, INFINITE);
        }
    }
    ::PostMessageW(stream->window, WM_USER + 2, 9, 0);
    return 0;
}

TEST(Window, GatheringLoopTakesAStreamWholeAndInOrderAndServesSentMessagesAndTimers)
{
    StreamWindow w;
    ASSERT_NE(w.Create(L"TestStreamWindow", L"t", WS_POPUP | WS_VISIBLE, 0), nullptr);
    ::SetTimer(w.m_hWnd, 1, 1, nullptr);
    CMessageLoop loop;
    loop.SetGatherPeriod(20);
    IdleSignal signal;
    loop.AddIdleHandler(&signal);
    Stream stream{w.m_hWnd, signal.idle, w.timerSeen};
    HANDLE thread = ::CreateThread(nullptr, 0, StreamThread, &stream, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(loop.Run(), 9);
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);

    EXPECT_EQ(stream.answer, 42);
    EXPECT_EQ(w.timers, 1);
    ASSERT_EQ(w.values.size(), 3000u);
    for (WPARAM i = 0; i < w.values.size(); ++i)
        ASSERT_EQ(w.values[i], i);
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

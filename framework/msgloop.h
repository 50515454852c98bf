// A message loop with registered message filters and idle handlers: while no message waits, the
// idle handlers run until one returns FALSE; each message is offered to the filters, then
// translated and dispatched. A GetMessage error is traced and the loop goes on.
//
// With a gathering period, posted messages that stream in (a worker's reports, one every few
// hundred microseconds) are taken in batches: once the queue is empty after posted messages, the
// loop waits up to the period for anything but posted messages (input, paint, timers, sent
// messages wake it at once), then takes everything queued in order. Waking the thread once per
// posted message costs a GUI thread several round trips to the window system each time; a batch
// costs one. Without posted traffic the loop waits as the plain loop does.
#pragma once
#include <windows.h>

#include <vector>

class CMessageFilter {
public:
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;

protected:
    ~CMessageFilter() = default;
};

class CIdleHandler {
public:
    virtual BOOL OnIdle() = 0;

protected:
    ~CIdleHandler() = default;
};

class CMessageLoop {
public:
    void AddMessageFilter(CMessageFilter* filter) { m_filters.push_back(filter); }
    void AddIdleHandler(CIdleHandler* handler) { m_idleHandlers.push_back(handler); }
    // Posted messages are taken at most this many milliseconds late while they stream in; 0 (the
    // default) takes each one as it comes.
    void SetGatherPeriod(DWORD ms) { m_gatherMs = ms; }
    // Runs until WM_QUIT and returns its wParam.
    int Run();

private:
    int RunPlain();
    int RunGathering();
    void RunIdleHandlers();
    void Handle(MSG* msg);

    std::vector<CMessageFilter*> m_filters;
    std::vector<CIdleHandler*> m_idleHandlers;
    DWORD m_gatherMs = 0;
};

// A message loop with registered message filters and idle handlers: while no message waits, the
// idle handlers run until one returns FALSE; each message is offered to the filters, then
// translated and dispatched. A GetMessage error is traced and the loop goes on.
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
    // Runs until WM_QUIT and returns its wParam.
    int Run();

private:
    void RunIdleHandlers();
    bool PreTranslate(MSG* msg);

    std::vector<CMessageFilter*> m_filters;
    std::vector<CIdleHandler*> m_idleHandlers;
};

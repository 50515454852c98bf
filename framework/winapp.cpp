#include "framework/winapp.h"
#include "framework/msgloop.h"
#include "framework/window.h"

CWinApp* CWinApp::s_pApp = nullptr;

CWinApp::CWinApp()
{
    s_pApp = this;
    m_hInstance = ModuleInstance();
}

CWinApp::~CWinApp()
{
    if (s_pApp == this)
        s_pApp = nullptr;
}

int CWinApp::Run()
{
    CMessageLoop loop;
    m_nExitCode = loop.Run();
    return m_nExitCode;
}

int RunApplication(CWinApp& app, HINSTANCE instance)
{
    if (instance)
        app.m_hInstance = instance;
    if (app.InitInstance() && app.m_hMainWnd && ::IsWindow(app.m_hMainWnd))
        app.Run();
    return app.ExitInstance();
}

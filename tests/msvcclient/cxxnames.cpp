// A client whose declarations of the two variables are C++ ones links ?g_dwTls@@3KA and
// g_hMainWnd's C++ name. vocalis.h declares the C names, so these live in their own file.
#include "tests/msvcclient/cxxnames.h"

__declspec(dllimport) extern DWORD g_dwTls;
__declspec(dllimport) extern HWND g_hMainWnd;

DWORD* CxxTlsAddress()
{
    return &g_dwTls;
}
HWND* CxxMainWndAddress()
{
    return &g_hMainWnd;
}

// The few Win32 declarations the MSVC-mode test client needs, those vocalis.h uses among them.
// No Microsoft SDK exists on this machine: this file stands in for <windows.h>, and the import
// libraries are made from kernel32.def and user32.def beside it.
#pragma once

#if defined(_M_IX86)
#define WINAPI __stdcall
#else
#define WINAPI
#endif
#define CALLBACK WINAPI
#define WINIMPORT extern "C" __declspec(dllimport)

typedef unsigned long DWORD;
typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned int UINT;
typedef __INTPTR_TYPE__ LONG_PTR;
typedef __UINTPTR_TYPE__ UINT_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef void* HANDLE;
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
    long x, y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra, cbWndExtra;
    HINSTANCE hInstance;
    HANDLE hIcon, hCursor, hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
};

struct PROCESS_HEAP_ENTRY {
    void* lpData;
    DWORD cbData;
    BYTE cbOverhead, iRegionIndex;
    WORD wFlags;
    union {
        struct {
            HANDLE hMem;
            DWORD dwReserved[3];
        } Block;
        struct {
            DWORD dwCommittedSize, dwUnCommittedSize;
            void* lpFirstBlock;
            void* lpLastBlock;
        } Region;
    };
};

#define WM_USER 0x0400
#define PM_REMOVE 0x0001
#define QS_ALLINPUT 0x04FF
#define SW_SHOW 5
#define WS_OVERLAPPEDWINDOW 0x00CF0000
#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define PROCESS_HEAP_ENTRY_BUSY 0x0004

// kernel32
WINIMPORT DWORD WINAPI TlsAlloc(void);
WINIMPORT HMODULE WINAPI GetModuleHandleA(const char* pszName);
WINIMPORT void* WINAPI GetProcAddress(HMODULE hModule, const char* pszName);
WINIMPORT __declspec(noreturn) void WINAPI ExitProcess(UINT uExitCode);
WINIMPORT HANDLE WINAPI GetStdHandle(DWORD nHandle);
WINIMPORT BOOL WINAPI WriteFile(HANDLE hFile, const void* pData, DWORD nBytes, DWORD* pnWritten,
                                void* pOverlapped);
WINIMPORT char* WINAPI GetCommandLineA(void);
WINIMPORT DWORD WINAPI GetFileAttributesA(const char* pszPath);
WINIMPORT DWORD WINAPI GetTickCount(void);
WINIMPORT BOOL WINAPI HeapLock(HANDLE hHeap);
WINIMPORT BOOL WINAPI HeapUnlock(HANDLE hHeap);
WINIMPORT BOOL WINAPI HeapWalk(HANDLE hHeap, PROCESS_HEAP_ENTRY* pEntry);
WINIMPORT BOOL WINAPI HeapValidate(HANDLE hHeap, DWORD dwFlags, const void* pBlock);

// user32
WINIMPORT WORD WINAPI RegisterClassA(const WNDCLASSA* pClass);
WINIMPORT HWND WINAPI CreateWindowExA(DWORD dwExStyle, const char* pszClass, const char* pszTitle,
                                      DWORD dwStyle, int x, int y, int cx, int cy, HWND hParent,
                                      HANDLE hMenu, HINSTANCE hInstance, void* pParam);
WINIMPORT LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
WINIMPORT BOOL WINAPI PeekMessageA(MSG* pMsg, HWND hWnd, UINT uFirst, UINT uLast, UINT uRemove);
WINIMPORT BOOL WINAPI TranslateMessage(const MSG* pMsg);
WINIMPORT LRESULT WINAPI DispatchMessageA(const MSG* pMsg);
WINIMPORT DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles,
                                                 BOOL bWaitAll, DWORD dwMs, DWORD dwWakeMask);
WINIMPORT BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
WINIMPORT BOOL WINAPI SetForegroundWindow(HWND hWnd);
WINIMPORT HWND WINAPI SetActiveWindow(HWND hWnd);
WINIMPORT HWND WINAPI GetActiveWindow(void);
WINIMPORT int WINAPI wvsprintfA(char* pszOut, const char* pszFormat, __builtin_va_list args);

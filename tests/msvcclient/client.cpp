// msvcclient: a help client of vocalis.dll built the way Microsoft's compiler builds one (MSVC
// C++ ABI, operator new on ucrtbase.dll's heap as with /MD), checking the talk interface's
// binary contract step by step.
//
//   msvcclient.exe HOST TCPPORT UDPPORT FLAGFILE
//
// One real call against the peer at HOST: Init, Start, WM_TALK_BEGIN, EnableSound, and End once
// FLAGFILE exists (the test creates it when enough speech has reached the peer). Every check
// prints a line; the first failed one ends the run with exit code 1.
#include "tests/msvcclient/cxxnames.h"
#include "tests/msvcclient/runtime.h"
#include "voice/vocalis.h"

static_assert(sizeof(CTalkInterface) == 3 * sizeof(void*), "vptr, m_pInterface, m_hNotifyWnd");

namespace {

#if defined(_M_IX86)
#define MEMBERCALL __thiscall
const char kCtorName[] = "??0CTalkInterface@@QAE@PAUHWND__@@@Z";
const char kCopyName[] = "??0CTalkInterface@@QAE@ABV0@@Z";
#else
#define MEMBERCALL
const char kCtorName[] = "??0CTalkInterface@@QEAA@PEAUHWND__@@@Z";
const char kCopyName[] = "??0CTalkInterface@@QEAA@AEBV0@@Z";
#endif
typedef void*(MEMBERCALL* CtorFunc)(void* self, HWND hNotifyWnd);
typedef void*(MEMBERCALL* CopyFunc)(void* self, const void* other);
typedef void*(MEMBERCALL* DeletingDtorFunc)(void* self, unsigned flags);

const unsigned kDeleteFree = 1, kDeleteArray = 2;
const DWORD kBeginLimitMs = 10000, kCallLimitMs = 30000;

struct Args {
    const char* host;
    int tcpPort, udpPort;
};

const void* g_pVtable;  // ??_7CTalkInterface@@6B@
bool g_bLeftLogged = false;

// A debug C runtime keeps a header of its own in front of every object: its new returns the
// heap block's address plus this many bytes (32 on x86, 48 on x64).
const size_t kDebugHeader = 4 * sizeof(void*) + 16;
struct DebugHeap {};

}  // namespace

void* operator new(size_t nBytes, DebugHeap)
{
    unsigned char* pBlock = static_cast<unsigned char*>(malloc(kDebugHeader + nBytes));
    return pBlock ? pBlock + kDebugHeader : nullptr;
}

namespace {

const char* g_pszFlagFile;
int g_nBegin = 0;

// The object as this compiler lays it out: vptr, m_pInterface, m_hNotifyWnd.
void* const* Words(const CTalkInterface* p)
{
    return reinterpret_cast<void* const*>(p);
}

DeletingDtorFunc SlotZero(const CTalkInterface* p)
{
    return *static_cast<const DeletingDtorFunc*>(Words(p)[0]);
}

void CheckObject(const CTalkInterface* p, bool bEngine, HWND hNotifyWnd, const char* pszWhat)
{
    Print("-- %s\n", pszWhat);
    Check(Words(p)[0] == g_pVtable, "its vptr is the exported MSVC vtable");
    Check((Words(p)[1] != nullptr) == bEngine,
          bEngine ? "it holds an engine" : "it holds no engine");
    Check(Words(p)[2] == hNotifyWnd, "it keeps the notify window it was given");
}

LRESULT CALLBACK NotifyProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_TALK_BEGIN) {
        ++g_nBegin;
        Print("WM_TALK_BEGIN seen\n");
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

bool BeginSeen()
{
    return g_nBegin > 0;
}
bool FlagExists()
{
    return GetFileAttributesA(g_pszFlagFile) != INVALID_FILE_ATTRIBUTES;
}

// Runs the message loop until done() holds; false when dwLimitMs passed first.
bool PumpUntil(bool (*done)(), DWORD dwLimitMs)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done())
            return true;
        if (GetTickCount() - dwStart >= dwLimitMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, 0, 50, QS_ALLINPUT);
    }
}

HWND CreateNotifyWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = NotifyProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MsvcClientWnd";
    RegisterClassA(&wc);
    HWND hWnd = CreateWindowExA(0, wc.lpszClassName, "msvcclient", WS_OVERLAPPEDWINDOW, 10, 10, 320,
                                120, nullptr, nullptr, wc.hInstance, nullptr);
    if (hWnd) {
        ShowWindow(hWnd, SW_SHOW);
        SetForegroundWindow(hWnd);
        SetActiveWindow(hWnd);
    }
    return hWnd;
}

void CheckExportsAndVariables()
{
    HMODULE hVocalis = GetModuleHandleA("vocalis.dll");
    g_pVtable = hVocalis ? GetProcAddress(hVocalis, "??_7CTalkInterface@@6B@") : nullptr;
    Check(g_pVtable != nullptr, "vocalis.dll exports the vtable ??_7CTalkInterface@@6B@");
    Check(CxxTlsAddress() == &g_dwTls, "?g_dwTls@@3KA and g_dwTls are one variable");
    Check(CxxMainWndAddress() == &g_hMainWnd,
          "g_hMainWnd's C++ name and g_hMainWnd are one variable");
    g_dwTls = TlsAlloc();
    CheckEq(static_cast<long>(*CxxTlsAddress()), static_cast<long>(g_dwTls),
            "the TLS index reads back by the C++ name");
}

// Constructors called through their exports, so that what they return is seen as it is.
void CheckConstructorsReturnThis(HWND hWnd)
{
    Print("-- constructors called through their exports\n");
    HMODULE hVocalis = GetModuleHandleA("vocalis.dll");
    CtorFunc pfnCtor = reinterpret_cast<CtorFunc>(GetProcAddress(hVocalis, kCtorName));
    CopyFunc pfnCopy = reinterpret_cast<CopyFunc>(GetProcAddress(hVocalis, kCopyName));
    Check(pfnCtor && pfnCopy, "both constructors are exported under their MSVC names");
    alignas(void*) unsigned char first[sizeof(CTalkInterface)], second[sizeof(CTalkInterface)];
    Check(pfnCtor(first, hWnd) == first, "the constructor returns this");
    Check(pfnCopy(second, first) == second, "the copy constructor returns this");
    unsigned char* objects[] = {second, first};
    for (unsigned char* pObject : objects) {
        CheckObject(reinterpret_cast<CTalkInterface*>(pObject), false, hWnd,
                    "an object made in place");
        Check(SlotZero(reinterpret_cast<CTalkInterface*>(pObject))(pObject, 0) == pObject,
              "vtable slot 0 with flags 0 destroys it in place and returns this");
    }
}

void CheckBeforeInit(CTalkInterface& talk, const Args& args)
{
    CheckEq(talk.End(), 0, "End before Init returns 0");
    CheckEq(talk.Start(args.host, args.tcpPort, args.udpPort), 0, "Start before Init returns 0");
    talk.EnableSound(1);
}

void RunCall(CTalkInterface* pTalk, const Args& args)
{
    Print("-- a call\n");
    CheckEq(pTalk->Init(), 1, "Init returns 1");
    Check(Words(pTalk)[1] != nullptr, "Init made the engine");
    CheckEq(pTalk->Start(args.host, args.tcpPort, args.udpPort), 1, "Start returns 1");
    Check(PumpUntil(BeginSeen, kBeginLimitMs), "WM_TALK_BEGIN arrives after the peer's request");
    pTalk->EnableSound(1);
    Check(PumpUntil(FlagExists, kCallLimitMs), "the peer receives our speech");
    CheckEq(pTalk->End(), 1, "End of the active session returns 1");
    Check(Words(pTalk)[1] == nullptr, "End released the engine");
    CheckEq(pTalk->End(), 0, "a second End returns 0");
    CheckEq(pTalk->Start(args.host, args.tcpPort, args.udpPort), 0, "Start after End returns 0");
    CheckEq(g_nBegin, 1, "WM_TALK_BEGIN came once");
}

void CheckDelete(CTalkInterface* pTalk)
{
    const void* pBlock = pTalk;
    Check(UcrtBlockBusy(pBlock), "new took the object's block from ucrtbase's heap");
    delete pTalk;
    Check(!UcrtBlockBusy(pBlock), "delete p destroyed it and freed the block with ucrtbase's free");
}

bool Contains(const char* pszText, const char* pszPart)
{
    for (; *pszText; ++pszText) {
        const char *p = pszText, *q = pszPart;
        while (*q && *p == *q)
            ++p, ++q;
        if (!*q)
            return true;
    }
    return false;
}

void CALLBACK OnLogLine(const char* pszText, int)
{
    if (Contains(pszText, "left allocated"))
        g_bLeftLogged = true;
}

// delete of an object that a debug runtime's new made: the library must not hand the inner
// address to ucrtbase's free; it leaves the block, says so, and the heap stays sound.
void CheckDebugRuntimeDelete(HWND hWnd)
{
    Print("-- an object from a debug runtime's new, deleted\n");
    SetLogInfoFuncA(OnLogLine);
    CTalkInterface* pTalk = new (DebugHeap{}) CTalkInterface(hWnd);
    const unsigned char* pBlock = reinterpret_cast<const unsigned char*>(pTalk) - kDebugHeader;
    Check(UcrtBlockBusy(pBlock), "its block starts before the object, in ucrtbase's heap");
    delete pTalk;
    SetLogInfoFuncA(nullptr);
    Check(UcrtBlockBusy(pBlock), "delete left the block allocated");
    Check(g_bLeftLogged, "the library logged that it left the block");
    HANDLE hHeap = reinterpret_cast<HANDLE>(_get_heap_handle());
    Check(HeapValidate(hHeap, 0, nullptr), "ucrtbase's heap is sound");
    free(const_cast<unsigned char*>(pBlock));
}

// MSVC's delete[] of a class with a virtual destructor calls slot 0 with flags 3 on the first
// element; the element count sits in front of it.
void CheckArrayDelete(HWND hWnd)
{
    Print("-- an array of two, deleted as MSVC's delete[] does\n");
    size_t* pBlock = static_cast<size_t*>(malloc(sizeof(size_t) + 2 * sizeof(CTalkInterface)));
    *pBlock = 2;
    CTalkInterface* pArray = reinterpret_cast<CTalkInterface*>(pBlock + 1);
    new (&pArray[0]) CTalkInterface(hWnd);
    new (&pArray[1]) CTalkInterface(pArray[0]);
    Check(UcrtBlockBusy(pBlock), "the array's block is allocated in ucrtbase's heap");
    Check(SlotZero(pArray)(pArray, kDeleteFree | kDeleteArray) == pBlock,
          "slot 0 with flags 3 returns the block");
    Check(!UcrtBlockBusy(pBlock), "it freed the block with ucrtbase's free");
}

void RunObjects(HWND hWnd, const Args& args)
{
    CTalkInterface talk(hWnd);
    CheckObject(&talk, false, hWnd, "an object on the stack");
    CheckBeforeInit(talk, args);
    CTalkInterface copy(talk);
    CheckObject(&copy, false, hWnd, "its copy");
    CTalkInterface* pTalk = new CTalkInterface(nullptr);
    CheckObject(pTalk, false, nullptr, "an object made with new");
    Check(&(*pTalk = talk) == pTalk, "operator= returns *this");
    CheckObject(pTalk, false, hWnd, "the object made with new, assigned the first");
    RunCall(pTalk, args);
    CheckDelete(pTalk);
    CheckArrayDelete(hWnd);
    CheckDebugRuntimeDelete(hWnd);
    CheckEq(talk.Init(), 1, "Init of the object on the stack returns 1");
    CheckObject(&talk, true, hWnd, "the object on the stack after Init");
    Print("-- the stack objects go out of scope, one with its engine running\n");
}

int ToInt(const char* psz)
{
    int n = 0;
    while (*psz >= '0' && *psz <= '9')
        n = n * 10 + (*psz++ - '0');
    return n;
}

int RunClient()
{
    char* argv[4];
    if (SplitArgs(GetCommandLineA(), argv, 4) != 4) {
        Print("usage: msvcclient HOST TCPPORT UDPPORT FLAGFILE\n");
        return 2;
    }
    Args args = {argv[0], ToInt(argv[1]), ToInt(argv[2])};
    g_pszFlagFile = argv[3];
    CheckExportsAndVariables();
    HWND hWnd = CreateNotifyWindow();
    Check(hWnd && GetActiveWindow() == hWnd, "the notify window is the active window");
    CheckConstructorsReturnThis(hWnd);
    RunObjects(hWnd, args);
    Print("msvcclient: all checks passed\n");
    return 0;
}

}  // namespace

extern "C" void ClientEntry()
{
    ExitProcess(static_cast<UINT>(RunClient()));
}

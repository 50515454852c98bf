#include "tests/msvcclient/runtime.h"

void* operator new(size_t nBytes)
{
    return malloc(nBytes ? nBytes : 1);
}
void operator delete(void* pBlock) noexcept
{
    free(pBlock);
}
void operator delete(void* pBlock, size_t) noexcept
{
    free(pBlock);
}

void Print(const char* pszFormat, ...)
{
    char szText[1024];
    __builtin_va_list args;
    __builtin_va_start(args, pszFormat);
    int nLength = wvsprintfA(szText, pszFormat, args);
    __builtin_va_end(args);
    DWORD nWritten = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), szText, static_cast<DWORD>(nLength), &nWritten,
              nullptr);
}

void Check(bool bOk, const char* pszWhat)
{
    Print("%s: %s\n", bOk ? "ok" : "FAILED", pszWhat);
    if (!bOk)
        ExitProcess(1);
}

void CheckEq(long nActual, long nExpected, const char* pszWhat)
{
    if (nActual != nExpected)
        Print("FAILED: %s: got %ld, expected %ld\n", pszWhat, nActual, nExpected);
    Check(nActual == nExpected, pszWhat);
}

bool UcrtBlockBusy(const void* pBlock)
{
    HANDLE hHeap = reinterpret_cast<HANDLE>(_get_heap_handle());
    PROCESS_HEAP_ENTRY entry = {};
    bool bBusy = false;
    HeapLock(hHeap);
    while (HeapWalk(hHeap, &entry)) {
        if (entry.lpData == pBlock && (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY))
            bBusy = true;
    }
    HeapUnlock(hHeap);
    return bBusy;
}

int SplitArgs(char* pszLine, char** argv, int nMax)
{
    int nArgs = -1;  // the program name comes first and is not counted
    char* p = pszLine;
    while (*p && nArgs < nMax) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            break;
        char cEnd = *p == '"' ? '"' : ' ';
        if (cEnd == '"')
            ++p;
        char* pszArg = p;
        while (*p && *p != cEnd && !(cEnd == ' ' && *p == '\t'))
            ++p;
        if (*p)
            *p++ = '\0';
        if (nArgs >= 0)
            argv[nArgs] = pszArg;
        ++nArgs;
    }
    return nArgs < 0 ? 0 : nArgs;
}

// What a /MD build would take from the C runtime, cut down to what this client uses: operator
// new/delete on ucrtbase.dll's heap, console output, the command line, and checks that end the
// run with exit code 1 on the first failure.
#pragma once

#include <windows.h>

typedef __SIZE_TYPE__ size_t;

extern "C" {
__declspec(dllimport) void* __cdecl malloc(size_t nBytes);
__declspec(dllimport) void __cdecl free(void* pBlock);
__declspec(dllimport) LONG_PTR __cdecl _get_heap_handle(void);
}

inline void* operator new(size_t, void* pPlace) noexcept
{
    return pPlace;
}

void Print(const char* pszFormat, ...);
void Check(bool bOk, const char* pszWhat);
void CheckEq(long nActual, long nExpected, const char* pszWhat);

// True while block is an allocated block of ucrtbase's heap: walks the heap for it.
bool UcrtBlockBusy(const void* pBlock);

// Splits the command line into at most nMax arguments after the program name, in place.
int SplitArgs(char* pszLine, char** argv, int nMax);

// The library's log hook: one narrow and one wide callback pointer, both library-wide and null
// at load. The wave devices report every event and failure as one complete line through the
// narrow hook, from whichever thread reports; the wide hook is stored only.
#pragma once

#include <windows.h>

// The library build defines VOCALIS_EXPORTS so that the two setters are exported from the DLL
// under their plain names; a client of the DLL may define VOCALIS_IMPORTS.
#if defined(VOCALIS_EXPORTS)
#define VOCALIS_LOG_API __declspec(dllexport)
#elif defined(VOCALIS_IMPORTS)
#define VOCALIS_LOG_API __declspec(dllimport)
#else
#define VOCALIS_LOG_API
#endif

// A callback receives the text and 0; it must not keep the pointer after it returns.
typedef void CALLBACK LogInfoFuncA(const char* pszText, int nReserved);
typedef void CALLBACK LogInfoFuncW(const wchar_t* pszText, int nReserved);

extern "C" {
// Replace the stored callback; null switches the hook off. Safe to call from any thread.
VOCALIS_LOG_API void SetLogInfoFuncA(LogInfoFuncA* pfn);
VOCALIS_LOG_API void SetLogInfoFuncW(LogInfoFuncW* pfn);
}

// Passes one complete line to the narrow hook, if one is set.
void VoiceLog(const char* pszLine);
// printf-style form of VoiceLog; formats only when a hook is set. Lines longer than 511 bytes
// are cut.
void VoiceLogFormat(const char* pszFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;

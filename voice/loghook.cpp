#include "voice/loghook.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {
std::atomic<LogInfoFuncA*> g_pfnLogA{nullptr};
std::atomic<LogInfoFuncW*> g_pfnLogW{nullptr};
}  // namespace

extern "C" void SetLogInfoFuncA(LogInfoFuncA* pfn)
{
    g_pfnLogA.store(pfn);
}

extern "C" void SetLogInfoFuncW(LogInfoFuncW* pfn)
{
    g_pfnLogW.store(pfn);
}

void VoiceLog(const char* pszLine)
{
    LogInfoFuncA* pfn = g_pfnLogA.load();
    if (pfn)
        pfn(pszLine, 0);
}

void VoiceLogFormat(const char* pszFormat, ...)
{
    LogInfoFuncA* pfn = g_pfnLogA.load();
    if (!pfn)
        return;
    char line[512];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(line, sizeof line, pszFormat, args);
    va_end(args);
    pfn(line, 0);
}

// The library's log hook: one narrow and one wide callback pointer, both library-wide and null
// at load. The wave devices report every event and failure as one complete line through the
// narrow hook, from whichever thread reports; the wide hook is stored only.
#pragma once

#include "voice/vocalis.h"

// The callback types and their setters SetLogInfoFuncA/W are declared in vocalis.h, the
// library's public header.

// Passes one complete line to the narrow hook, if one is set.
void VoiceLog(const char* pszLine);
// printf-style form of VoiceLog; formats only when a hook is set. Lines longer than 511 bytes
// are cut.
void VoiceLogFormat(const char* pszFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;

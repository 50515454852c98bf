// What the parts of the help-client harness share: its window, the talk interface it drives and
// its log (one line per step result, log-hook line and talk notification).
#pragma once

#include <windows.h>

#include <string>

class CTalkInterface;

extern CTalkInterface* g_pTalk;
extern HWND g_hWnd;

void LogLine(const char* pszKind, const char* pszText);
void LogResult(const std::string& text, int nResult);

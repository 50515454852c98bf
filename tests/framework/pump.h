// Message pumping for the Windows tests: the thread's queue is dispatched while a test waits
// for something a window procedure or a notification brings about.
#pragma once

#include <windows.h>

#include <functional>

// Dispatches the thread's messages one at a time, checking done() after each, until it holds;
// false if it still does not after ms.
bool PumpUntil(const std::function<bool()>& done, DWORD ms = 5000);
// Dispatches what the thread's queue holds now and what arrives within ms.
void PumpFor(DWORD ms);

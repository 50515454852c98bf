// Library-wide objects of vocalis.dll that the engine reaches: the one speech codec instance
// and the window that stands for the application on the calling thread.
#pragma once

#include <windows.h>

class CAudioCode;

// The library's one codec object; every call into it is made under the library lock.
CAudioCode& TheAudioCode();
// The main window of the calling thread's application object: on the thread that loaded the
// library the active window of that thread (the library has no window of its own), on every
// other thread null.
HWND AppThreadMainWnd();

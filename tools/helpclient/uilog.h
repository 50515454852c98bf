// Log hooks that play a client writing the library's log into its own window: a line reported
// on another thread (the audio threads) is sent with SendMessage to the harness's window, which
// logs it as "ui:"; lines of the harness's own thread are logged directly. One variant also ends
// the call from that window when the capture device reports its close.
#pragma once

#include <windows.h>

#include <string>

// Sets the log hook by name: "0" none, "1" the plain hook, "ui" the window-writing hook,
// "ui-end" the same, ending the call on "MM_WIM_CLOSE". False for any other name.
bool SetLogHookByName(const std::string& name);
// Handles the window's message of the ui hooks; false for any other message.
bool HandleUiLogMessage(UINT uMsg, LPARAM lParam);

// How the harness answers WM_TALK_BEGIN and WM_TALK_END, playing clients that do what real ones
// do inside those handlers: end the call, delete the interface, or show a message box (a modal
// loop) that stays up until the call has ended.
//
// It can also mark the moments a session begins and ends in the voice stream: a datagram
// "mark begin" or "mark end" sent to the peer's voice port, from a socket of its own, when a
// talk notification reaches any window of the thread and when the harness itself has ended the
// call. A peer that reads its voice port in order then sees every voice packet of a session
// between its two marks.
#pragma once

#include <windows.h>

#include <string>

enum class HandlerAction { None, End, Destroy, MsgBox };

// "none", "end", "destroy" or "msgbox"; false for anything else.
bool ParseHandlerAction(const std::string& text, HandlerAction& action);
// What the main window does on uMsg (WM_TALK_BEGIN or WM_TALK_END) from now on.
void SetHandlerAction(UINT uMsg, HandlerAction action);
// Runs the action set for uMsg; called by the main window's procedure.
void RunHandlerAction(UINT uMsg);
// Whether a message box of RunHandlerAction is up (the script waits meanwhile).
bool BoxUp();

// Ends the call (End) or replaces the interface with a new one (delete), then marks the end.
int EndCall();
int DestroyInterface();

// Starts marking, towards the voice port given to the last start step.
void EnableMarks();
void SetMarkTarget(const std::string& host, int port);
void SendMark(const char* pszWhat);

// Logs talk notifications sent to the thread's other windows and marks every one; call once.
void WatchTalkNotifications();

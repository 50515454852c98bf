// Helpers for the wave device tests: a log hook that records every line with the thread that
// reported it, message pumping, and counts of this process's threads, windows and handles.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/framework/pump.h"

struct LoggedLine {
    DWORD dwThreadId;
    std::string text;
};

// Installs itself as the narrow log hook for its lifetime.
class LogRecorder {
public:
    LogRecorder();
    ~LogRecorder();
    std::vector<LoggedLine> Lines() const;
    // The texts reported by one thread, in order.
    std::vector<std::string> From(DWORD dwThreadId) const;
    // Everything reported so far, in order.
    std::vector<std::string> All() const;
    void Clear();
    // Pumps this thread's messages until some thread has reported text; false after ms.
    bool WaitFor(const std::string& text, DWORD ms) const;
    // Makes the hook sleep for ms when it is called with exactly this text (once).
    void StallOn(const std::string& text, DWORD ms);
};

struct ProcessCounts {
    DWORD handles;
    int threads;
    int windows;
    bool operator==(const ProcessCounts& o) const
    {
        return handles == o.handles && threads == o.threads && windows == o.windows;
    }
};
ProcessCounts CountProcessObjects();

// True when the thread with this id no longer runs (or never existed).
bool ThreadGone(DWORD dwThreadId);

// 16-bit mono samples of a sine.
std::vector<short> Sine(double hz, double amplitude, int samples);

// Device-dependent tests run only where a sound device exists, device-less ones only where
// the run was started without one (ST_AUDIO_NODEVICE=1, PULSE_SERVER pointing nowhere).
bool NoDeviceRun();

// Resource samples of the harness's own process, taken on a thread of their own every few
// seconds and written as one "sample:" line each, so a soak run can tell leaks from warm-up:
//   handles=N threads=N windows=N user=N|- gdi=N|- private=BYTES committed=BYTES
// handles: GetProcessHandleCount, or this process's entries in the system handle table where
// that answers 0; threads: a Toolhelp snapshot of this process's threads;
// windows: this process's windows (top-level, their children, message-only ones); user and gdi:
// GetGuiResources, "-" where it does not count (it answers 0 with an error where unsupported);
// private: PrivateUsage of GetProcessMemoryInfo (PagefileUsage, the same count, where that is 0);
// committed: the committed private regions found
// by walking the address space with VirtualQuery.
#pragma once

typedef void (*SampleWriter)(const char* pszKind, const char* pszText);

// Starts the sampling thread (a second call does nothing): one line at once, then one every
// nIntervalMs. With nIntervalMs 0, writes one sample at once on the calling thread instead. Also writes "sample-info:" lines that name the counters that do not work here and
// what stands in for them.
void StartSampler(unsigned nIntervalMs, SampleWriter write);
// Takes a last sample and stops the thread.
void StopSampler();

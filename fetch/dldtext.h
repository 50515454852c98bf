// What the download dialog shows and tells its starting window, computed without Win32: the
// amount line, the failure texts with their reasons, the progress bar position and the speed.
// Portable (no windows.h), so it is tested natively.
#pragma once
#include <cstdint>
#include <string>

// Range of the dialog's progress bar.
const int kProgressRange = 1000;

// "已下载<amount> <unit>(下载速度<speed> KB/s)": KB up to 1024 KB, MB above, two decimals.
std::wstring FormatAmountLine(uint32_t bytesPresent, double speedKBps);

// The failure text shown in red and the reason code posted to the starting window.
struct DldFailureText {
    const wchar_t* text;
    int reason;
};
DldFailureText FailureTextFor(uint32_t failureCode);

// New bar position for a progress report, or -1 to leave the bar as it is (no total announced).
// Totals of 1000 bytes and more use whole thousandths of the total; smaller totals scale directly.
// More than the total shows a full bar.
int ProgressPosition(uint32_t total, uint32_t present);

// The progress control repaints itself synchronously on every position change, and a themed bar
// costs more than a millisecond each time: more than a few chunks' transfer. So the bar is moved
// only when the step is big enough to see at once (kBarVisibleStep thousandths, about three pixels
// of the bar), when a frame period has passed since it last moved, or to fill it: at most ten
// moves a second plus one per visible step, which is at most a hundred per download.
const int kBarVisibleStep = 10;
const uint32_t kBarFramePeriodMs = 100;
bool BarMoveDue(int shown, int wanted, uint32_t msSinceMoved);

// Period of the dialog's speed samples.
const uint32_t kSamplePeriodMs = 500;

// Speed in KB/s between two samples elapsedMs apart (0 counts as one period). A count that went
// backwards (a continuation that was restarted from the beginning) gives 0.
double SampleSpeed(uint32_t current, uint32_t lastSample, uint32_t elapsedMs);

// Whether a speed sample is due elapsedMs after the previous one. The sample timer only fires while
// no reports wait in the queue, so during a fast transfer the progress reports take samples once
// a period has passed; a timer tick that comes soon after such a sample is skipped.
bool SampleDue(uint32_t elapsedMs, bool fromTimer);

// True when a Content-Range value ("bytes 100-199/200") starts at the given position.
bool ContentRangeStartsAt(const std::wstring& value, uint32_t position);

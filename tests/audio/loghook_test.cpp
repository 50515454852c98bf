// The log hook: lines reach the narrow callback only while one is set; the wide one is stored
// and never called.
#include "voice/loghook.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio_support.h"
#include "voice/waveout.h"

namespace {

int g_wideCalls = 0;
void CALLBACK CountWide(const wchar_t*, int)
{
    ++g_wideCalls;
}

TEST(LogHook, OnlyASetNarrowHookIsCalled)
{
    const std::string text = "CWaveOut::Play: Device hasn't been open";
    LogRecorder log;
    CWaveOut w;
    short sample = 0;
    SetLogInfoFuncW(CountWide);

    w.Play(&sample, 2);
    EXPECT_EQ(log.All(), std::vector<std::string>{text});

    SetLogInfoFuncA(nullptr);
    w.Play(&sample, 2);  // reported to nobody
    EXPECT_EQ(log.All().size(), 1u);

    LogRecorder again;  // installs the narrow hook again
    w.Play(&sample, 2);
    EXPECT_EQ(again.All(), std::vector<std::string>{text});
    EXPECT_EQ(g_wideCalls, 0);
    SetLogInfoFuncW(nullptr);
}

TEST(LogHook, FormattedLinesAreCutRatherThanOverrun)
{
    LogRecorder log;
    std::string longText(2000, 'x');
    VoiceLogFormat("%s", longText.c_str());
    ASSERT_EQ(log.All().size(), 1u);
    EXPECT_EQ(log.All()[0], longText.substr(0, 511));
}

}  // namespace

#include "fetch/dldtext.h"

#include <gtest/gtest.h>

namespace {

TEST(AmountLine, SwitchesToMegabytesAbove1024KB)
{
    EXPECT_EQ(L"已下载1024.00 KB(下载速度0.00 KB/s)", FormatAmountLine(1048576, 0.0));
    EXPECT_EQ(L"已下载1.00 MB(下载速度12.50 KB/s)", FormatAmountLine(1048577, 12.5));
    EXPECT_EQ(L"已下载0.00 KB(下载速度0.00 KB/s)", FormatAmountLine(0, 0.0));
    EXPECT_EQ(L"已下载4096.00 MB(下载速度8388608.00 KB/s)",
              FormatAmountLine(0xFFFFFFFFu, 8388608.0));
}

TEST(FailureText, CodesMapToTextsAndReasons)
{
    const struct {
        uint32_t code;
        int reason;
        const wchar_t* text;
    } cases[] = {
        {1, 1, L"传文件失败,无法初始化网络连接！"},
        {2, 2, L"传文件失败,网络无法连接！"},
        {3, 3, L"传文件失败,服务器返回数据异常！"},
        {5, 4, L"传文件失败,无法创建文件！"},
        {6, 5, L"传文件失败,无法更新文件！"},
        {7, 6, L"传文件失败,数据传输时发生网络错误！"},
        {4, 7, L"传文件失败!"},
        {8, 7, L"传文件失败!"},
        {0, 7, L"传文件失败!"},
        {0xFFFFFFFFu, 7, L"传文件失败!"},
    };
    for (const auto& c : cases) {
        DldFailureText t = FailureTextFor(c.code);
        EXPECT_EQ(c.reason, t.reason) << c.code;
        EXPECT_STREQ(c.text, t.text) << c.code;
    }
}

// Position in thousandths of the total; large totals step in whole thousandths of it.
TEST(ProgressPosition, ThousandthsOfTheTotal)
{
    const struct {
        uint32_t total, done;
        int position;
        const char* why;
    } cases[] = {
        {0, 5000, -1, "no total announced: bar unchanged"},
        {2000, 1000, 500, "half"},
        {2000, 2000, 1000, "all"},
        // Integer step: 1999 / 1000 = 1, so the position is the byte count itself.
        {1999, 999, 999, "step of one byte"},
        {1999, 1500, 1000, "step of one byte, full from 1000"},
        {2000, 0xFFFFFFFFu, 1000, "more than announced"},
        {52428800, 52427, 0, "below the first step"},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 1000, "largest total"},
        // Totals below a thousand bytes scale directly.
        {999, 0, 0, "small total, nothing yet"},
        {10, 5, 500, "small total, half"},
        {1, 1, 1000, "one byte of one"},
        {1, 3, 1000, "small total, more than announced: a full bar"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.position, ProgressPosition(c.total, c.done))
            << c.done << " of " << c.total << ": " << c.why;
}

TEST(SampleSpeed, KilobytesPerSecondOverTheElapsedTime)
{
    EXPECT_DOUBLE_EQ(2.0, SampleSpeed(2048, 1024, 500));
    EXPECT_DOUBLE_EQ(2.0, SampleSpeed(2048, 1024, 0));  // no clock: one period
    EXPECT_DOUBLE_EQ(1.0, SampleSpeed(2048, 1024, 1000));
    EXPECT_DOUBLE_EQ(0.0, SampleSpeed(1024, 1024, 500));
    EXPECT_DOUBLE_EQ(0.0, SampleSpeed(100, 5000000, 500));  // restarted continuation
    EXPECT_DOUBLE_EQ(8388608.0 - 1.0 / 512, SampleSpeed(0xFFFFFFFFu, 0, 500));
}

TEST(SampleSpeed, DueAfterAPeriodFromReportsHalfAPeriodFromTheTimer)
{
    EXPECT_FALSE(SampleDue(499, false));
    EXPECT_TRUE(SampleDue(500, false));
    EXPECT_FALSE(SampleDue(249, true));
    EXPECT_TRUE(SampleDue(250, true));
    EXPECT_TRUE(SampleDue(0xFFFFFFFFu, false));
}

TEST(BarMove, VisibleStepsAtOnceSmallOnesOncePerFrame)
{
    const struct {
        int shown, wanted;
        uint32_t ms;
        bool due;
    } cases[] = {
        {250, 250, 1000, false},  // nothing new to show
        {250, 251, 0, false},     // a thousandth waits for the next frame
        {250, 259, 99, false},     {250, 251, 100, true},
        {250, 260, 0, true},  // a visible step moves at once, either way
        {500, 250, 0, true},       {999, 1000, 0, true},  // the full bar is never left waiting
        {0, 1, 0xFFFFFFFFu, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.due, BarMoveDue(c.shown, c.wanted, c.ms))
            << c.shown << " -> " << c.wanted << " after " << c.ms << " ms";
}

TEST(ContentRange, AcceptsOnlyTheRequestedStart)
{
    EXPECT_TRUE(ContentRangeStartsAt(L"bytes 500-999/1000", 500));
    EXPECT_TRUE(ContentRangeStartsAt(L"bytes 0-0/1", 0));
    EXPECT_FALSE(ContentRangeStartsAt(L"bytes 0-999/1000", 500));
    EXPECT_FALSE(ContentRangeStartsAt(L"bytes 5000-999/1000", 500));
    EXPECT_FALSE(ContentRangeStartsAt(L"bytes */1000", 500));
    EXPECT_FALSE(ContentRangeStartsAt(L"items 500-999/1000", 500));
    EXPECT_FALSE(ContentRangeStartsAt(L"bytes 500", 500));
    EXPECT_FALSE(ContentRangeStartsAt(L"", 0));
    EXPECT_FALSE(ContentRangeStartsAt(L"bytes 4294967796-1/2", 500));  // no 32-bit wrap
}

}  // namespace

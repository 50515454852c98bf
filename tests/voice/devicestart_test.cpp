// The reset of a playback device written while still starting: when it comes, and only once.
#include "voice/devicestart.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint32_t kUp = CDeviceStartup::kStartupMs;

struct Case {
    const char* name;
    uint32_t openedMs;
    std::vector<uint32_t> writes;
    std::vector<uint32_t> asks;
    std::vector<bool> due;
};

TEST(DeviceStartup, ResetsOnceAfterStartUpOnlyWhenWrittenDuringIt)
{
    const uint32_t kWrap = 0xFFFFFF00u;  // the millisecond clock wraps during the start-up
    const Case cases[] = {
        {"written while starting",
         100,
         {200},
         {100 + kUp - 1, 100 + kUp, 100 + kUp + 10},
         {false, true, false}},
        {"written only after", 100, {100 + kUp}, {100 + kUp, 200 + kUp}, {false, false}},
        {"never written", 0, {}, {kUp, 2 * kUp}, {false, false}},
        {"clock wraps", kWrap, {kWrap + 10}, {kWrap + kUp - 1, kWrap + kUp}, {false, true}},
    };
    for (const Case& c : cases) {
        CDeviceStartup startup;
        startup.Opened(c.openedMs);
        for (uint32_t t : c.writes)
            startup.Written(t);
        for (size_t i = 0; i < c.asks.size(); ++i)
            EXPECT_EQ(startup.ResetDue(c.asks[i]), c.due[i]) << c.name << ", ask " << i;
    }
}

TEST(DeviceStartup, ReopeningWatchesTheNewStartUp)
{
    CDeviceStartup startup;
    startup.Opened(0);
    startup.Written(10);
    EXPECT_TRUE(startup.ResetDue(kUp));
    startup.Opened(2 * kUp);
    EXPECT_FALSE(startup.ResetDue(3 * kUp));  // not written this time
    startup.Opened(4 * kUp);
    startup.Written(4 * kUp + 1);
    EXPECT_TRUE(startup.ResetDue(5 * kUp));
}

}  // namespace

// CDeviceStartup: decides when a playback device that was written while still starting is reset.
// A device just opened may take seconds before it plays (Wine's wave-out over PulseAudio: 1-3 s)
// while its completions come as if it played. Part of what it is given in that time stays in a
// buffer below its queue, seen neither by its completions nor by its position, and delays all
// that follows by 100-150 ms until the device once runs dry, which a call that keeps its queue fed
// never lets happen. So a device written during its start-up time is reset once as that time
// ends: what it holds then (a few blocks at most) is dropped and the rest plays without the
// standing delay. A device first written after its start-up time is never reset.
// Portable: it sees only a millisecond clock.
#pragma once

#include <cstdint>

class CDeviceStartup {
public:
    static constexpr uint32_t kStartupMs = 4000;

    void Opened(uint32_t nowMs);
    void Written(uint32_t nowMs);
    // True once, at the first asking after the start-up time, when the device was written in it.
    bool ResetDue(uint32_t nowMs);

private:
    bool Starting(uint32_t nowMs) const;

    uint32_t m_openedMs = 0;
    bool m_bWatching = false;  // opened, and the start-up time not yet seen to end
    bool m_bWritten = false;
};

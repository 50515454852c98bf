// The order in which the peer sends its voice packets: one slot per 60 ms, packets numbered from
// 1, with injected faults: dropped packets leave their slot empty, a swapped packet trades slots
// with the one after it, a duplicated packet is sent twice in its slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

struct SendFaults {
    std::set<uint32_t> drop, swap, dup;
};

// Slot i holds the sequence numbers sent at i * 60 ms, in sending order.
std::vector<std::vector<uint32_t>> BuildSendOrder(uint32_t count, const SendFaults& faults);

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

// Fractions of packets lost, swapped with the next one, and sent twice.
struct FaultRates {
    double loss = 0, reorder = 0, dup = 0;
    bool Any() const { return loss > 0 || reorder > 0 || dup > 0; }
};

// Picks each packet 1..count for each fault at its rate, from a fixed seed (same seed, same
// faults), added to what faults already holds.
void AddRandomFaults(uint32_t count, const FaultRates& rates, uint32_t seed, SendFaults& faults);

// Loss in runs: about `fraction` of the packets lost, in runs of minLen to maxLen packets.
struct BurstLoss {
    double fraction = 0;
    int minLen = 2, maxLen = 3;
};

// Picks the runs from a fixed seed, added to the packets faults.drop already holds.
void AddBurstLoss(uint32_t count, const BurstLoss& burst, uint32_t seed, SendFaults& faults);

// Slot i holds the sequence numbers sent at i * 60 ms, in sending order.
std::vector<std::vector<uint32_t>> BuildSendOrder(uint32_t count, const SendFaults& faults);

struct TimedSend {
    double at;  // seconds after the first slot
    uint32_t seq;
};

// The sends of the slots in time order: slot i at i * slotSeconds, each packet delayed by 0 to
// jitterSeconds (uniform, from a fixed seed), so that a delay longer than a slot reorders.
std::vector<TimedSend> TimeSends(const std::vector<std::vector<uint32_t>>& slots,
                                 double slotSeconds, double jitterSeconds, uint32_t seed);

#include "tools/voicepeer/schedule.h"

#include <algorithm>
#include <random>
#include <utility>

void AddRandomFaults(uint32_t count, const FaultRates& rates, uint32_t seed, SendFaults& faults)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    for (uint32_t seq = 1; seq <= count; ++seq) {
        if (uniform(rng) < rates.loss)
            faults.drop.insert(seq);
        if (uniform(rng) < rates.reorder)
            faults.swap.insert(seq);
        if (uniform(rng) < rates.dup)
            faults.dup.insert(seq);
    }
}

std::vector<std::vector<uint32_t>> BuildSendOrder(uint32_t count, const SendFaults& faults)
{
    std::vector<uint32_t> order;
    for (uint32_t seq = 1; seq <= count; ++seq)
        order.push_back(seq);
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        if (faults.swap.count(order[i]) && order[i] < order[i + 1]) {
            std::swap(order[i], order[i + 1]);
            ++i;  // the pair is settled; do not swap the moved packet again
        }
    }
    std::vector<std::vector<uint32_t>> slots(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        uint32_t seq = order[i];
        if (faults.drop.count(seq))
            continue;
        slots[i].push_back(seq);
        if (faults.dup.count(seq))
            slots[i].push_back(seq);
    }
    return slots;
}

void AddBurstLoss(uint32_t count, const BurstLoss& burst, uint32_t seed, SendFaults& faults)
{
    if (burst.fraction <= 0)
        return;
    std::mt19937 rng(seed + 2);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::uniform_int_distribution<int> length(burst.minLen, burst.maxLen);
    const double start = burst.fraction / ((burst.minLen + burst.maxLen) / 2.0);
    for (uint32_t seq = 1; seq <= count; ++seq) {
        if (uniform(rng) >= start)
            continue;
        for (int n = length(rng); n > 0 && seq <= count; --n, ++seq)
            faults.drop.insert(seq);
    }
}

std::vector<TimedSend> TimeSends(const std::vector<std::vector<uint32_t>>& slots,
                                 double slotSeconds, double jitterSeconds, uint32_t seed)
{
    std::mt19937 rng(seed + 3);
    std::uniform_real_distribution<double> delay(0.0, jitterSeconds);
    std::vector<TimedSend> sends;
    for (size_t i = 0; i < slots.size(); ++i)
        for (uint32_t seq : slots[i])
            sends.push_back({i * slotSeconds + (jitterSeconds > 0 ? delay(rng) : 0.0), seq});
    std::stable_sort(sends.begin(), sends.end(),
                     [](const TimedSend& a, const TimedSend& b) { return a.at < b.at; });
    return sends;
}

// The playback backlog trim: when it starts, which blocks it drops, when it stops.
#include "voice/backlog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

struct Block {
    int queued;
    uint32_t ms;
    uint64_t energy;
};

// The indices of the blocks the trim drops.
std::vector<int> Dropped(const std::vector<Block>& blocks)
{
    CBacklogTrim trim;
    std::vector<int> out;
    for (size_t i = 0; i < blocks.size(); ++i)
        if (trim.Drop(blocks[i].queued, blocks[i].ms, blocks[i].energy))
            out.push_back(static_cast<int>(i));
    return out;
}

// One block every 60 ms at a constant depth, all equally loud.
std::vector<Block> Steady(int queued, uint32_t fromMs, uint32_t toMs)
{
    std::vector<Block> out;
    for (uint32_t t = fromMs; t < toMs; t += 60)
        out.push_back({queued, t, 1000});
    return out;
}

TEST(BacklogTrim, OnlyAStandingBacklogOfMoreThanThreeBlocksForFiveSecondsStartsATrim)
{
    EXPECT_TRUE(Dropped(Steady(3, 0, 60000)).empty());
    EXPECT_TRUE(Dropped(Steady(11, 0, 4999)).empty());
    // A single block at three restarts the five seconds.
    std::vector<Block> dip = Steady(5, 0, 4000);
    dip.push_back({3, 4000, 1000});
    for (const Block& b : Steady(5, 4060, 9000))
        dip.push_back(b);
    EXPECT_TRUE(Dropped(dip).empty());
    dip.push_back({5, 9060, 999});  // five seconds after the dip: trimmed
    EXPECT_EQ(std::vector<int>{static_cast<int>(dip.size()) - 1}, Dropped(dip));
}

TEST(BacklogTrim, DropsTheQuietestBlocksUntilTwoAreQueued)
{
    std::vector<Block> blocks = Steady(5, 0, 5000);  // 84 blocks, none dropped
    const int first = static_cast<int>(blocks.size());
    // Trimming: a block quieter than the three before it goes at once; among equally loud ones
    // every fourth goes. Each drop leaves one block less queued.
    const Block trimming[] = {{5, 5040, 500},  {4, 5100, 2000}, {4, 5160, 3000}, {4, 5220, 4000},
                              {4, 5280, 5000}, {3, 5340, 100},  {2, 5400, 10},   {2, 5460, 1}};
    blocks.insert(blocks.end(), std::begin(trimming), std::end(trimming));
    EXPECT_EQ((std::vector<int>{first, first + 4, first + 5}), Dropped(blocks));
}

TEST(BacklogTrim, BlockEnergyIsTheSumOfSquares)
{
    const int16_t samples[] = {-32768, 32767, 0, 3};
    EXPECT_EQ(0u, BlockEnergy(samples, 0));
    EXPECT_EQ(1073741824u + 1073676289u + 9u, BlockEnergy(samples, 4));
}

// A cut takes the quiet stretch out, keeps what is around it in order and joins the two sides
// without a step; one that does not fit leaves the block whole.
TEST(BacklogTrim, CutTakesTheQuietestStretchAndJoinsItsSides)
{
    std::vector<int16_t> pcm(480, 8000);
    for (int i = 300; i < 400; ++i)
        pcm[i] = static_cast<int16_t>(i % 2 ? 3 : -3);
    pcm[0] = 1234;
    pcm[479] = 4321;
    std::vector<int16_t> cut = pcm;
    ASSERT_EQ(420, CutQuietest(cut.data(), 480, 60));
    EXPECT_EQ(1234, cut[0]);
    EXPECT_EQ(4321, cut[419]);
    // Loud samples lost: none (only the quiet stretch went), and no jump of more than the step
    // between the loud and the quiet level anywhere.
    int nLoud = 0;
    for (int i = 0; i < 420; ++i)
        nLoud += cut[i] == 8000;
    EXPECT_EQ(std::count(pcm.begin(), pcm.end(), int16_t(8000)), nLoud);
    // A ramp through zero: cut at its quiet middle, 60 samples apart would be a step of 3600.
    std::vector<int16_t> ramp(480);
    for (int i = 0; i < 480; ++i)
        ramp[i] = static_cast<int16_t>((i - 240) * 60);
    ASSERT_EQ(420, CutQuietest(ramp.data(), 480, 60));
    EXPECT_EQ(-240 * 60, ramp[0]);
    EXPECT_EQ(239 * 60, ramp[419]);
    for (int i = 1; i < 420; ++i)
        ASSERT_LE(std::abs(ramp[i] - ramp[i - 1]), 150) << i;
    for (int nCut : {0, -5, 441, 480}) {
        std::vector<int16_t> whole = pcm;
        EXPECT_EQ(480, CutQuietest(whole.data(), 480, nCut));
        EXPECT_EQ(pcm, whole);
    }
}

}  // namespace

// The receive ordering store against in-order, reordered, lost, repeated and late packets.
#include "voice/sortdata.h"

#include "tests/voice/alloc_count.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A datagram whose speech bytes name its number, so the played order can be read back.
std::vector<unsigned char> Packet(uint32_t nSeq, int nLen = kVoicePacketSize)
{
    std::vector<unsigned char> d(nLen, 0xEE);  // reserved bytes are not zero: they are ignored
    WriteLe32(d.data(), nSeq);
    if (nLen >= kVoicePacketSize) {
        std::memset(d.data() + kVoiceHeaderSize, static_cast<int>(nSeq & 0x7F), kSpeechBytes);
        WriteLe32(d.data() + kVoiceHeaderSize, nSeq);
    }
    return d;
}

class SortDataTest : public ::testing::Test {
protected:
    SortDataTest()
        : store([this](const unsigned char* pSpeech) {
              uint32_t nSeq = ReadLe32(pSpeech);
              EXPECT_EQ(static_cast<unsigned char>(nSeq & 0x7F), pSpeech[kSpeechBytes - 1]);
              played.push_back(nSeq);
          })
    {
    }

    void Feed(std::initializer_list<uint32_t> seqs)
    {
        for (uint32_t nSeq : seqs) {
            std::vector<unsigned char> d = Packet(nSeq);
            EXPECT_TRUE(store.Insert(d.data(), int(d.size())));
        }
    }
    void FeedRange(uint32_t nFirst, uint32_t nLast)
    {
        for (uint32_t n = nFirst; n <= nLast; ++n)
            Feed({n});
    }
    std::vector<uint32_t> Range(uint32_t nFirst, uint32_t nLast)
    {
        std::vector<uint32_t> v;
        for (uint32_t n = nFirst; n <= nLast; ++n)
            v.push_back(n);
        return v;
    }
    std::vector<uint32_t> Slots()
    {
        std::vector<uint32_t> v;
        for (int i = 0; i < store.Waiting(); ++i)
            v.push_back(store.SlotSeq(i));
        return v;
    }
    using Seqs = std::vector<uint32_t>;

    std::vector<uint32_t> played;
    CSortData store;
};

TEST_F(SortDataTest, InOrderPacketsPlayOnArrival)
{
    for (uint32_t n = 1; n <= 20; ++n) {
        Feed({n});
        EXPECT_EQ(Range(1, n), played);
        EXPECT_EQ(0, store.Waiting());
        EXPECT_EQ(n, store.LastSeq());
    }
}

TEST_F(SortDataTest, FilledGapReleasesTheWaitingRun)
{
    Feed({1, 2, 4});
    EXPECT_EQ(Seqs({1, 2}), played);
    EXPECT_EQ(Seqs({4}), Slots());
    Feed({3});
    EXPECT_EQ(Seqs({1, 2, 3, 4}), played);
    EXPECT_EQ(0, store.Waiting());
    Feed({5});
    EXPECT_EQ(Range(1, 5), played);
}

TEST_F(SortDataTest, RunStopsAtTheNextGapAndTheRestMovesDown)
{
    Feed({1, 2, 4, 7, 6, 3});
    EXPECT_EQ(Range(1, 4), played);
    EXPECT_EQ(Seqs({6, 7}), Slots());
    EXPECT_EQ(4u, store.LastSeq());
    Feed({5});
    EXPECT_EQ(Range(1, 7), played);
    EXPECT_EQ(0, store.Waiting());
}

TEST_F(SortDataTest, EighthWaitingPacketFlushesPastALoss)
{
    Feed({1, 2});
    FeedRange(4, 10);
    EXPECT_EQ(Seqs({1, 2}), played);
    EXPECT_EQ(7, store.Waiting());
    Feed({11});
    EXPECT_EQ(Seqs({1, 2, 4, 5, 6, 7, 8, 9, 10, 11}), played);
    EXPECT_EQ(11u, store.LastSeq());
    EXPECT_EQ(0, store.Waiting());
    Feed({12});
    EXPECT_EQ(12u, played.back());
}

TEST_F(SortDataTest, RepeatOfAPlayedPacketWaitsAndBlocksRunsUntilAFlush)
{
    FeedRange(1, 5);
    Feed({5, 7});
    EXPECT_EQ(Seqs({5, 7}), Slots());
    Feed({6});  // next in sequence, but slot 0 holds the repeat: nothing behind it is released
    EXPECT_EQ(Range(1, 6), played);
    EXPECT_EQ(Seqs({5, 7}), Slots());
    FeedRange(9, 14);
    EXPECT_EQ(Seqs({1, 2, 3, 4, 5, 6, 5, 7, 9, 10, 11, 12, 13, 14}), played);
    EXPECT_EQ(14u, store.LastSeq());
}

TEST_F(SortDataTest, DuplicateWaitsBehindItsTwin)
{
    Feed({1, 3, 3, 5});
    EXPECT_EQ(Seqs({3, 3, 5}), Slots());
    Feed({2});  // plays 2 and one 3; the twin breaks the run
    EXPECT_EQ(Seqs({1, 2, 3}), played);
    EXPECT_EQ(Seqs({3, 5}), Slots());
}

TEST_F(SortDataTest, LatePacketAfterAFlushWaitsForTheNextFlush)
{
    Feed({1});
    FeedRange(3, 10);  // 2 lost: flush, last played 10
    played.clear();
    Feed({2});  // late
    EXPECT_TRUE(played.empty());
    Feed({11, 12});  // in-order packets still play on arrival
    EXPECT_EQ(Seqs({11, 12}), played);
    EXPECT_EQ(Seqs({2}), Slots());
    FeedRange(14, 20);  // 13 lost: the late one plays first in the flush
    EXPECT_EQ(Seqs({11, 12, 2, 14, 15, 16, 17, 18, 19, 20}), played);
    EXPECT_EQ(20u, store.LastSeq());
}

TEST_F(SortDataTest, StreamStartingAt500FlushesOnItsEighthPacket)
{
    FeedRange(500, 506);
    EXPECT_TRUE(played.empty());
    Feed({507});
    EXPECT_EQ(Range(500, 507), played);
    EXPECT_EQ(507u, store.LastSeq());
    Feed({508});
    EXPECT_EQ(508u, played.back());
    EXPECT_EQ(0, store.Waiting());
}

TEST_F(SortDataTest, ShortDatagramsAndNumberZeroNeverReachTheSlots)
{
    Feed({1, 3});
    std::vector<unsigned char> shortOne = Packet(2, kVoicePacketSize - 1);
    EXPECT_FALSE(store.Insert(shortOne.data(), int(shortOne.size())));
    EXPECT_FALSE(store.Insert(kHelloDatagram, kHelloSize));
    EXPECT_FALSE(store.Insert(nullptr, 0));
    std::vector<unsigned char> zero = Packet(0);
    EXPECT_FALSE(store.Insert(zero.data(), int(zero.size())));
    EXPECT_EQ(Seqs({1}), played);
    EXPECT_EQ(Seqs({3}), Slots());

    std::vector<unsigned char> longOne = Packet(2, 1024);  // bytes after the packet ignored
    EXPECT_TRUE(store.Insert(longOne.data(), int(longOne.size())));
    EXPECT_EQ(Range(1, 3), played);
}

TEST_F(SortDataTest, NumbersAreComparedUnsignedAcrossTheTopBit)
{
    Feed({0x7FFFFFFF});  // waits: the store expects 1
    Feed({0x80000001u, 0x80000000u});
    EXPECT_EQ(Seqs({0x7FFFFFFF, 0x80000000u, 0x80000001u}), Slots());
}

TEST(SortDataAlloc, InsertAllocatesNothing)
{
    int nPlayed = 0;
    CSortData store([&nPlayed](const unsigned char*) { ++nPlayed; });
    std::vector<std::vector<unsigned char>> packets;
    for (uint32_t n : {1u, 2u, 4u, 3u, 9u, 8u, 7u, 6u, 5u, 20u, 21u, 22u, 23u, 24u, 25u, 26u, 27u})
        packets.push_back(Packet(n));
    long nBefore = AllocationCount();
    for (const auto& d : packets)
        store.Insert(d.data(), int(d.size()));
    EXPECT_EQ(nBefore, AllocationCount());
    EXPECT_EQ(int(packets.size()), nPlayed + store.Waiting());
}

}  // namespace

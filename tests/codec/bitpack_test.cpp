// Frame bit layout: parameter order, widths and byte order.
#include <gtest/gtest.h>

#include <random>

#include "voice/codec/bitpack.h"
#include "voice/codec/tables.h"

namespace {

TEST(BitPack, FirstBitAndLastBitSetReadAsParameters1And11)
{
    const unsigned char bytes[10] = {0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0x01};
    int prm[11];
    g729::UnpackFrame(bytes, prm);
    EXPECT_EQ(128, prm[0]);
    EXPECT_EQ(1, prm[10]);
    for (int p = 1; p < 10; ++p)
        EXPECT_EQ(0, prm[p]) << "parameter " << p + 1;
}

// Each parameter at its maximum, alone, sets exactly its own frame bits.
TEST(BitPack, EachParameterOccupiesItsOwnBitRange)
{
    const int widths[11] = {8, 10, 8, 1, 13, 4, 7, 5, 13, 4, 7};
    int first = 0;
    for (int p = 0; p < 11; ++p) {
        int prm[11] = {};
        prm[p] = (1 << widths[p]) - 1;
        unsigned char bytes[10];
        g729::PackFrame(prm, bytes);
        for (int bit = 0; bit < 80; ++bit) {
            bool set = (bytes[bit / 8] >> (7 - bit % 8)) & 1;
            bool inRange = bit >= first && bit < first + widths[p];
            ASSERT_EQ(inRange, set) << "parameter " << p + 1 << " frame bit " << bit;
        }
        first += widths[p];
    }
    EXPECT_EQ(80, first);
}

TEST(BitPack, MostSignificantBitFirstWithinAField)
{
    int prm[11] = {};
    prm[2] = 0x81;  // parameter 3 occupies frame bits 18..25
    unsigned char bytes[10];
    g729::PackFrame(prm, bytes);
    EXPECT_EQ(0x20, bytes[2]);  // frame bit 18 = bit 5 of byte 2
    EXPECT_EQ(0x40, bytes[3]);  // frame bit 25 = bit 6 of byte 3
}

TEST(BitPack, RandomParameterSetsRoundTrip)
{
    std::mt19937 rng(729);
    for (int trial = 0; trial < 2000; ++trial) {
        int prm[11], back[11];
        for (int p = 0; p < 11; ++p)
            prm[p] = static_cast<int>(rng() & ((1u << g729::bitsno[p]) - 1));
        unsigned char bytes[10];
        g729::PackFrame(prm, bytes);
        g729::UnpackFrame(bytes, back);
        for (int p = 0; p < 11; ++p)
            ASSERT_EQ(prm[p], back[p]) << "trial " << trial;
        unsigned char again[10];
        g729::PackFrame(back, again);
        for (int i = 0; i < 10; ++i)
            ASSERT_EQ(bytes[i], again[i]);
    }
}

}  // namespace

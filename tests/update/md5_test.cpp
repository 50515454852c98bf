// MD5 against the RFC 1321 test suite, and the same digest however the input is split.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "update/md5.h"

namespace {

struct Vector {
    std::string message;
    const char* digest;
};

// The test suite of RFC 1321 (appendix A.5), then lengths around the padding boundaries
// (55/56/64 mod 64) and a million bytes.
const Vector kKnownDigests[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
    {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
    {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
    {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
    {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
};

TEST(Md5, RfcSuiteAndPaddingBoundaries)
{
    for (const Vector& v : kKnownDigests)
        EXPECT_EQ(upd::Md5Hex(v.message.data(), v.message.size()), v.digest)
            << v.message.size() << " bytes \"" << v.message.substr(0, 80) << '"';
}

// Feeding the same bytes in pieces of any size gives the one-shot digest.
TEST(Md5, SplitInputGivesSameDigest)
{
    std::mt19937 rng(7);
    std::vector<uint8_t> data(5000);
    for (auto& b : data)
        b = uint8_t(rng());
    for (size_t length : {size_t(0), size_t(1), size_t(63), size_t(64), size_t(65), size_t(1023),
                          size_t(1024), size_t(4999)}) {
        const std::string whole = upd::Md5Hex(data.data(), length);
        for (size_t piece :
             {size_t(1), size_t(3), size_t(63), size_t(64), size_t(100), size_t(1024)}) {
            upd::Md5 md5;
            for (size_t at = 0; at < length; at += piece)
                md5.Append(data.data() + at, std::min(piece, length - at));
            EXPECT_EQ(md5.FinishHex(), whole) << "length " << length << " piece " << piece;
        }
    }
}

}  // namespace

// SHA-256 against the standard's examples, the same digest however the input is split, and the
// choice of digest by the length of the expected one.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "update/digest.h"

namespace {

TEST(Sha256, StandardExamples)
{
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(upd::Sha256Hex(c.message.data(), c.message.size()), c.digest)
            << c.message.size() << " bytes";
}

TEST(Sha256, SplitInputGivesSameDigest)
{
    std::mt19937 rng(11);
    std::vector<uint8_t> data(3000);
    for (auto& b : data)
        b = uint8_t(rng());
    for (size_t length : {size_t(55), size_t(56), size_t(64), size_t(119), size_t(3000)}) {
        const std::string whole = upd::Sha256Hex(data.data(), length);
        for (size_t piece : {size_t(1), size_t(63), size_t(65), size_t(1024)}) {
            upd::Sha256 sha;
            for (size_t at = 0; at < length; at += piece)
                sha.Append(data.data() + at, std::min(piece, length - at));
            EXPECT_EQ(sha.FinishHex(), whole) << "length " << length << " piece " << piece;
        }
    }
}

TEST(ExpectedDigest, SixtyFourCharactersAreSha256EverythingElseMd5)
{
    using upd::DigestKind;
    EXPECT_EQ(upd::KindOfExpectedDigest(std::string(64, 'a')), DigestKind::Sha256);
    for (size_t size : {0, 32, 63, 65})
        EXPECT_EQ(upd::KindOfExpectedDigest(std::string(size, 'a')), DigestKind::Md5) << size;
    upd::PackageDigest sha(DigestKind::Sha256), md5(DigestKind::Md5);
    sha.Append("abc", 3);
    md5.Append("abc", 3);
    EXPECT_EQ(sha.FinishHex(), upd::Sha256Hex("abc", 3));
    EXPECT_EQ(md5.FinishHex(), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace

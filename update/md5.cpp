#include "update/md5.h"


namespace upd {
namespace {

// Per-step additive constants: floor(abs(sin(i + 1)) * 2^32).
const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left-rotation amounts, four per round.
const int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

inline uint32_t RotateLeft(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

inline uint32_t LoadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void StoreLe32(uint32_t v, uint8_t* p)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// The four mixing functions, one per round.
inline uint32_t MixF(uint32_t b, uint32_t c, uint32_t d)
{
    return d ^ (b & (c ^ d));
}  // (b&c)|(~b&d)
inline uint32_t MixG(uint32_t b, uint32_t c, uint32_t d)
{
    return c ^ (d & (b ^ c));
}  // (b&d)|(c&~d)
inline uint32_t MixH(uint32_t b, uint32_t c, uint32_t d)
{
    return b ^ c ^ d;
}
inline uint32_t MixI(uint32_t b, uint32_t c, uint32_t d)
{
    return c ^ (b | ~d);
}

// Message-word order of each round for step i (0..63): i, 5i+1, 3i+5, 7i, all mod 16.
constexpr int WordIndex(int i)
{
    return i < 16 ? i : i < 32 ? (5 * i + 1) & 15 : i < 48 ? (3 * i + 5) & 15 : (7 * i) & 15;
}

// Sixteen steps of one round; the registers rotate roles a->d->c->b each step.
template <uint32_t (*Mix)(uint32_t, uint32_t, uint32_t), int Round>
inline void RunRound(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t x[16])
{
    const int* s = kShift[Round];
    for (int i = Round * 16; i < Round * 16 + 16; i += 4) {
        a = b + RotateLeft(a + Mix(b, c, d) + x[WordIndex(i)] + kSine[i], s[0]);
        d = a + RotateLeft(d + Mix(a, b, c) + x[WordIndex(i + 1)] + kSine[i + 1], s[1]);
        c = d + RotateLeft(c + Mix(d, a, b) + x[WordIndex(i + 2)] + kSine[i + 2], s[2]);
        b = c + RotateLeft(b + Mix(c, d, a) + x[WordIndex(i + 3)] + kSine[i + 3], s[3]);
    }
}

}  // namespace

Md5::Md5() : m_state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

// One 64-byte block: four rounds of sixteen steps, added into the state.
void Md5::CompressBlock(const uint8_t block[64])
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LoadLe32(block + 4 * i);
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    RunRound<MixF, 0>(a, b, c, d, x);
    RunRound<MixG, 1>(a, b, c, d, x);
    RunRound<MixH, 2>(a, b, c, d, x);
    RunRound<MixI, 3>(a, b, c, d, x);
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
}

void Md5::Append(const void* data, size_t size)
{
    m_blocks.Append(data, size, [this](const uint8_t* block) { CompressBlock(block); });
}

// The length goes into the padding in little-endian order.
void Md5::Finish(uint8_t digest[kMd5DigestSize])
{
    m_blocks.Pad(false, [this](const uint8_t* block) { CompressBlock(block); });
    for (int i = 0; i < 4; ++i)
        StoreLe32(m_state[i], digest + 4 * i);
}

void Md5ToHex(const uint8_t digest[kMd5DigestSize], char hex[kMd5HexSize + 1])
{
    BytesToHex(digest, kMd5DigestSize, hex);
}

std::string Md5::FinishHex()
{
    uint8_t digest[kMd5DigestSize];
    Finish(digest);
    char hex[kMd5HexSize + 1];
    Md5ToHex(digest, hex);
    return hex;
}

std::string Md5Hex(const void* data, size_t size)
{
    Md5 md5;
    md5.Append(data, size);
    return md5.FinishHex();
}

}  // namespace upd

#include "update/sha256.h"

namespace upd {
namespace {

// Round constants: the first 32 bits of the fractional parts of the cube roots of the first 64
// primes.
const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline uint32_t RotateRight(uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

inline uint32_t LoadBe32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// The message schedule: the block's sixteen words, extended to 64 with the small sigmas.
void ExpandSchedule(const uint8_t block[64], uint32_t w[64])
{
    for (int t = 0; t < 16; ++t)
        w[t] = LoadBe32(block + 4 * t);
    for (int t = 16; t < 64; ++t) {
        const uint32_t s0 =
            RotateRight(w[t - 15], 7) ^ RotateRight(w[t - 15], 18) ^ (w[t - 15] >> 3);
        const uint32_t s1 =
            RotateRight(w[t - 2], 17) ^ RotateRight(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
}

}  // namespace

// Initial hash value: the first 32 bits of the fractional parts of the square roots of the first
// eight primes.
Sha256::Sha256()
    : m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}
{
}

// One 64-byte block: 64 rounds over the working variables a..h, added into the state.
void Sha256::CompressBlock(const uint8_t block[64])
{
    uint32_t w[64];
    ExpandSchedule(block, w);
    uint32_t v[8];
    for (int i = 0; i < 8; ++i)
        v[i] = m_state[i];
    for (int t = 0; t < 64; ++t) {
        const uint32_t e = v[4], a = v[0];
        const uint32_t sum1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
        const uint32_t choose = (e & v[5]) ^ (~e & v[6]);
        const uint32_t t1 = v[7] + sum1 + choose + kRound[t] + w[t];
        const uint32_t sum0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
        const uint32_t majority = (a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]);
        for (int i = 7; i > 0; --i)
            v[i] = v[i - 1];
        v[4] += t1;
        v[0] = t1 + sum0 + majority;
    }
    for (int i = 0; i < 8; ++i)
        m_state[i] += v[i];
}

void Sha256::Append(const void* data, size_t size)
{
    m_blocks.Append(data, size, [this](const uint8_t* block) { CompressBlock(block); });
}

// The length goes into the padding in big-endian order; the state words are written likewise.
std::string Sha256::FinishHex()
{
    m_blocks.Pad(true, [this](const uint8_t* block) { CompressBlock(block); });
    uint8_t digest[kSha256DigestSize];
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 4; ++k)
            digest[4 * i + k] = uint8_t(m_state[i] >> (24 - 8 * k));
    char hex[kSha256HexSize + 1];
    BytesToHex(digest, kSha256DigestSize, hex);
    return hex;
}

std::string Sha256Hex(const void* data, size_t size)
{
    Sha256 sha;
    sha.Append(data, size);
    return sha.FinishHex();
}

}  // namespace upd

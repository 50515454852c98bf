// MD5 message digest (RFC 1321), portable: no Windows headers, builds natively and for Windows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "update/hashblocks.h"

namespace upd {

constexpr size_t kMd5DigestSize = 16;  // bytes in a digest
constexpr size_t kMd5HexSize = 32;     // lowercase hex digits in its text form

// Incremental digest: Append any number of byte runs, then Finish once.
class Md5 {
public:
    Md5();
    void Append(const void* data, size_t size);
    void Finish(uint8_t digest[kMd5DigestSize]);
    // Finish, with the digest as Md5ToHex writes it.
    std::string FinishHex();

private:
    void CompressBlock(const uint8_t block[64]);

    uint32_t m_state[4];
    HashBlocks m_blocks;
};

// Writes the digest as 32 lowercase hex digits ("%02x" per byte, in digest order) plus a NUL.
void Md5ToHex(const uint8_t digest[kMd5DigestSize], char hex[kMd5HexSize + 1]);

// Digest text of a whole buffer.
std::string Md5Hex(const void* data, size_t size);

}  // namespace upd

// SHA-256 message digest (FIPS 180-4), portable: no Windows headers, builds natively and for
// Windows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "update/hashblocks.h"

namespace upd {

constexpr size_t kSha256DigestSize = 32;  // bytes in a digest
constexpr size_t kSha256HexSize = 64;     // lowercase hex digits in its text form

// Incremental digest: Append any number of byte runs, then FinishHex once.
class Sha256 {
public:
    Sha256();
    void Append(const void* data, size_t size);
    // The digest as 64 lowercase hex digits, in digest byte order.
    std::string FinishHex();

private:
    void CompressBlock(const uint8_t block[64]);

    uint32_t m_state[8];
    HashBlocks m_blocks;
};

// Digest text of a whole buffer.
std::string Sha256Hex(const void* data, size_t size);

}  // namespace upd

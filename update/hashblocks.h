// The 64-byte block framing that MD5 and SHA-256 share: the input cut into whole blocks for the
// compression function, and the final padding (one 0x80 byte, zeros up to 56 mod 64, then the
// message length in bits as 8 bytes). Portable: no Windows headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace upd {

class HashBlocks {
public:
    // Hands every completed 64-byte block to compress(const uint8_t*), keeping the rest.
    template <class Compress>
    void Append(const void* data, size_t size, Compress compress)
    {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        m_totalBytes += size;
        if (m_pendingSize > 0) {
            const size_t take = size < 64 - m_pendingSize ? size : 64 - m_pendingSize;
            std::memcpy(m_pending + m_pendingSize, p, take);
            m_pendingSize += take;
            p += take;
            size -= take;
            if (m_pendingSize < 64)
                return;
            compress(m_pending);
            m_pendingSize = 0;
        }
        for (; size >= 64; p += 64, size -= 64)
            compress(p);
        std::memcpy(m_pending, p, size);
        m_pendingSize = size;
    }

    // Appends the padding and the length, little-endian (MD5) or big-endian (SHA-256).
    template <class Compress>
    void Pad(bool bigEndianLength, Compress compress)
    {
        const uint64_t bits = m_totalBytes * 8;
        uint8_t tail[72] = {0x80};
        const size_t padSize = (m_pendingSize < 56 ? 56 : 120) - m_pendingSize;
        for (int i = 0; i < 8; ++i)
            tail[padSize + (bigEndianLength ? 7 - i : i)] = uint8_t(bits >> (8 * i));
        Append(tail, padSize + 8, compress);
    }

private:
    uint64_t m_totalBytes = 0;
    uint8_t m_pending[64] = {};  // bytes of an incomplete block
    size_t m_pendingSize = 0;
};

// Two lowercase hex digits per byte, in order, plus a NUL.
inline void BytesToHex(const uint8_t* bytes, size_t size, char* hex)
{
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < size; ++i) {
        hex[2 * i] = kDigits[bytes[i] >> 4];
        hex[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    hex[2 * size] = '\0';
}

}  // namespace upd

// The control-stream reader over arbitrary bytes delivered in arbitrary pieces. The first byte
// seeds the piece sizes; the rest is the stream. Messages are read until the stream ends.
#include "voice/wire.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

class FuzzSource : public ControlSource {
public:
    FuzzSource(const uint8_t* p, size_t n, uint32_t nSeed) : m_p(p), m_n(n), m_nState(nSeed | 1) {}
    int Receive(unsigned char* pBuf, int nLen) override
    {
        if (nLen <= 0)
            std::abort();  // the reader never asks for nothing
        if (m_n == 0)
            return 0;
        m_nState = m_nState * 1103515245u + 12345u;
        size_t nPiece = 1 + (m_nState >> 16) % 40;
        size_t k = nPiece < size_t(nLen) ? nPiece : size_t(nLen);
        k = k < m_n ? k : m_n;
        std::memcpy(pBuf, m_p, k);
        m_p += k;
        m_n -= k;
        return int(k);
    }
    size_t Left() const { return m_n; }

private:
    const uint8_t* m_p;
    size_t m_n;
    uint32_t m_nState;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    FuzzSource source(data + 1, size - 1, data[0]);
    auto buf = std::make_unique<unsigned char[]>(kControlBufferSize);  // exact: overflows show
    ControlHeader header;
    for (;;) {
        size_t nBefore = source.Left();
        ControlRead result = ReadControlMessage(source, buf.get(), header);
        if (result == ControlRead::Failed)
            break;
        // A header is always consumed whole; a good one also consumes exactly its body.
        size_t nUsed = nBefore - source.Left();
        size_t nExpected = kControlHeaderSize;
        if (result == ControlRead::Message)
            nExpected += ControlBodyLength(header);
        if (nUsed != nExpected)
            std::abort();
    }
    return 0;
}

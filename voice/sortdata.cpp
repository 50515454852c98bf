#include "voice/sortdata.h"

#include <cstring>
#include <utility>

// Between two calls the waiting packets occupy slots 0 to m-1 (m at most 7), ascending, equal
// numbers in order of arrival, none of them played yet.

CSortData::CSortData(PlayAction play) : m_play(std::move(play)), m_block(), m_nSeq(), m_nLastSeq(0)
{
}

void CSortData::Reset()
{
    std::memset(m_nSeq, 0, sizeof(m_nSeq));
    m_nLastSeq = 0;
}

int CSortData::Waiting() const
{
    int n = 0;
    while (n < kSlots && m_nSeq[n] != 0)
        ++n;
    return n;
}

bool CSortData::Insert(const unsigned char* pDatagram, int nLen)
{
    VoicePacket packet;
    if (!ParseVoicePacket(pDatagram, nLen, packet) || packet.seq == 0)
        return false;
    if (packet.seq == m_nLastSeq + 1) {
        PlayInOrder(packet);
        return true;
    }
    Store(packet);
    if (m_nSeq[kSlots - 1] != 0)
        Flush();
    return true;
}

void CSortData::PlayInOrder(const VoicePacket& packet)
{
    Play(packet.pSpeech);
    m_nLastSeq = packet.seq;
    int nRun = 0;
    while (nRun < kSlots && m_nSeq[nRun] != 0 && m_nSeq[nRun] == packet.seq + 1 + nRun)
        ++nRun;
    PlaySlots(nRun);
    ShiftDown(nRun);
}

void CSortData::Store(const VoicePacket& packet)
{
    for (int i = 0; i < kSlots; ++i) {
        if (m_nSeq[i] == 0) {
            PutSlot(i, packet.seq, packet.pSpeech);
            return;
        }
        if (m_nSeq[i] > packet.seq) {  // equal numbers are passed: a repeat goes behind its twin
            ShiftUp(i);
            PutSlot(i, packet.seq, packet.pSpeech);
            return;
        }
    }
}

void CSortData::Flush()
{
    PlaySlots(kSlots);  // leaves m_nLastSeq at slot 7's number, the highest
}

void CSortData::PlaySlots(int n)
{
    for (int i = 0; i < n; ++i) {
        Play(m_block[i]);
        m_nLastSeq = m_nSeq[i];
        m_nSeq[i] = 0;
    }
}

void CSortData::ShiftDown(int n)
{
    if (n == 0)
        return;
    for (int i = n; i < kSlots && m_nSeq[i] != 0; ++i) {
        PutSlot(i - n, m_nSeq[i], m_block[i]);
        m_nSeq[i] = 0;
    }
}

void CSortData::ShiftUp(int nFrom)
{
    int nLast = Waiting() - 1;  // at most kSlots - 2 between calls, so slot nLast + 1 exists
    for (int i = nLast; i >= nFrom; --i)
        PutSlot(i + 1, m_nSeq[i], m_block[i]);
}

void CSortData::PutSlot(int nSlot, uint32_t nSeq, const unsigned char* pSpeech)
{
    m_nSeq[nSlot] = nSeq;
    std::memcpy(m_block[nSlot], pSpeech, kSpeechBytes);
}

void CSortData::Play(const unsigned char* pSpeech)
{
    if (m_play)
        m_play(pSpeech);
}

// CSortData: puts received voice packets back in order before they are played.
//
// The next packet in sequence plays at once, together with the run of waiting packets that
// follows it. A packet out of sequence waits in one of eight slots, sorted by number; when the
// eighth is filled the store gives up on the gap and plays all eight in order. Late and repeated
// packets are not dropped: they wait in their sorted place and play at the next flush.
// Portable: playing is an action given at construction (decode, then hand to playback).
#pragma once

#include "voice/wire.h"

#include <cstdint>
#include <functional>

class CSortData {
public:
    static const int kSlots = 8;

    // Plays one block of kSpeechBytes coded bytes: decodes it and hands it to playback.
    using PlayAction = std::function<void(const unsigned char* pSpeech)>;

    explicit CSortData(PlayAction play = nullptr);
    CSortData(const CSortData&) = delete;
    CSortData& operator=(const CSortData&) = delete;

    // Takes one received datagram (sequence number at offset 0, speech at offset 16).
    // A datagram shorter than a voice packet, or numbered 0 (the empty-slot mark), is ignored
    // and false returned. Allocates nothing.
    bool Insert(const unsigned char* pDatagram, int nLen = kVoicePacketSize);

    // Forgets every waiting packet and the last number played: the next call starts afresh.
    void Reset();

    uint32_t LastSeq() const { return m_nLastSeq; }
    int Waiting() const;
    uint32_t SlotSeq(int nSlot) const { return m_nSeq[nSlot]; }

private:
    // The packet is the next one: play it and the run of slots that continues it.
    void PlayInOrder(const VoicePacket& packet);
    // Stores a packet that is not the next one in its sorted place.
    void Store(const VoicePacket& packet);
    // Eight packets wait: give up on the gap and play them all.
    void Flush();
    // Plays slots 0 to n-1 in order, emptying them.
    void PlaySlots(int n);
    void ShiftDown(int n);
    void ShiftUp(int nFrom);
    void PutSlot(int nSlot, uint32_t nSeq, const unsigned char* pSpeech);
    void Play(const unsigned char* pSpeech);

    PlayAction m_play;
    unsigned char m_block[kSlots][kSpeechBytes];  // speech of the waiting packets
    uint32_t m_nSeq[kSlots];                      // number of the packet in each slot; 0 = empty
    uint32_t m_nLastSeq;                          // number of the packet played last
};

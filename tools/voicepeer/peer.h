// One voice session from the peer's side, over POSIX sockets: accept the client's control
// connection, ask for a talk, learn the client's voice address from its hello datagram, stream
// the numbered voice packets every 60 ms and record everything the client sends.
#pragma once

#include "tools/voicepeer/options.h"

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

class VoicePeer {
public:
    // coded: the 60-byte coded blocks of the packets in number order (bytes 0-59 = packet 1).
    VoicePeer(const PeerOptions& options, std::vector<unsigned char> coded);
    ~VoicePeer();
    VoicePeer(const VoicePeer&) = delete;
    VoicePeer& operator=(const VoicePeer&) = delete;

    // Opens the TCP listener and the UDP socket on 127.0.0.1. False with a message on failure.
    bool Open(std::string& error);
    // Runs the session until --duration after the accept. Returns the exit code.
    int Run();

    // What arrived (after the uplink faults): voice payloads in arrival order, decoded audio.
    const std::vector<unsigned char>& ReceivedPayloads() const { return m_received; }
    const std::vector<int16_t>& ReceivedAudio() const { return m_receivedPcm; }

private:
    double Now() const;
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool AcceptClient();
    void OnControlData();
    void OnDatagram();
    void OnVoiceArrival(uint32_t seq, const unsigned char* pSpeech);
    void Record(const std::vector<unsigned char>& speech);
    bool Chance(double rate);
    bool SessionOver() const;
    void RunDueActions();
    void SendDueVoice();
    void DoAction(const ControlAction& action);
    void SendControl(const std::vector<unsigned char>& bytes);
    void CloseControl();
    int PollTimeoutMs() const;

    PeerOptions m_options;
    std::vector<unsigned char> m_coded;
    std::vector<TimedSend> m_sends;
    int m_listen = -1, m_control = -1, m_udp = -1;
    FILE* m_events = nullptr;
    double m_start = 0;  // monotonic seconds at the accept
    size_t m_nextAction = 0;
    bool m_bAccepted = false;  // the client answered TALK_ACCEPT
    bool m_bHello = false;
    uint32_t m_clientAddr = 0;  // where the hello came from (network order)
    uint16_t m_clientPort = 0;
    double m_voiceStart = -1;  // session time of the first slot
    size_t m_nextSend = 0;
    std::vector<unsigned char> m_ctlIn;
    std::mt19937 m_rxRng;
    std::vector<unsigned char> m_held;  // an arrival held back by an uplink reorder
    uint32_t m_heldSeq = 0;
    std::vector<unsigned char> m_received;
    std::vector<int16_t> m_receivedPcm;
};

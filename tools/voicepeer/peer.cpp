#include "tools/voicepeer/peer.h"

#include "tools/voicepeer/audiofile.h"
#include "voice/codec/audiocode.h"
#include "voice/wire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <ctime>

namespace {

int OpenBound(int type, int port)
{
    int fd = socket(AF_INET, type, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

double MonotonicSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

std::string AddrText(uint32_t addr, uint16_t port)
{
    in_addr in = {};
    in.s_addr = addr;
    return std::string(inet_ntoa(in)) + ":" + std::to_string(ntohs(port));
}

// A control message: header with code and body length, then a body made of copies of a valid
// TALK_REQUEST header, so a receiver that loses its place in the stream answers them.
std::vector<unsigned char> ControlMessage(uint32_t code, long bodyLength, bool badMagic)
{
    std::vector<unsigned char> request(kControlHeaderSize);
    BuildControlHeader(request.data(), TALK_REQUEST);
    std::vector<unsigned char> msg(kControlHeaderSize);
    BuildControlHeader(msg.data(), code, static_cast<int32_t>(bodyLength));
    if (badMagic)
        msg[0] = 'X';
    for (long i = 0; i < bodyLength; ++i)
        msg.push_back(request[i % kControlHeaderSize]);
    return msg;
}

}  // namespace

VoicePeer::VoicePeer(const PeerOptions& options, std::vector<unsigned char> coded)
    : m_options(options), m_coded(std::move(coded)), m_rxRng(options.seed + 1)
{
    uint32_t count = static_cast<uint32_t>(m_coded.size() / kSpeechBytes);
    if (m_options.loopSeconds > 0 && count > 0)
        count = static_cast<uint32_t>(m_options.loopSeconds / m_options.slotSeconds);
    AddRandomFaults(count, m_options.txRates, m_options.seed, m_options.faults);
    AddBurstLoss(count, m_options.txBursts, m_options.seed, m_options.faults);
    m_sends = TimeSends(BuildSendOrder(count, m_options.faults), m_options.slotSeconds,
                        m_options.jitterSeconds, m_options.seed);
}

VoicePeer::~VoicePeer()
{
    for (int fd : {m_listen, m_control, m_udp})
        if (fd >= 0)
            close(fd);
    if (m_events)
        std::fclose(m_events);
}

double VoicePeer::Now() const
{
    return MonotonicSeconds() - m_start;
}

void VoicePeer::Log(const char* format, ...)
{
    std::fprintf(m_events, "%.3f ", m_start > 0 ? Now() : 0.0);  // seconds since the accept
    va_list args;
    va_start(args, format);
    std::vfprintf(m_events, format, args);
    va_end(args);
    std::fputc('\n', m_events);
    std::fflush(m_events);
}

bool VoicePeer::Open(std::string& error)
{
    m_events = std::fopen((m_options.outDir + "/events.log").c_str(), "w");
    m_listen = OpenBound(SOCK_STREAM, m_options.tcpPort);
    m_udp = OpenBound(SOCK_DGRAM, m_options.udpPort);
    if (!m_events || m_listen < 0 || m_udp < 0 || listen(m_listen, 4) != 0) {
        error = "cannot open the events log or the ports";
        return false;
    }
    Log("listening tcp=%d udp=%d", m_options.tcpPort, m_options.udpPort);
    return true;
}

bool VoicePeer::AcceptClient()
{
    pollfd pfd = {m_listen, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(m_options.waitAccept * 1000)) <= 0)
        return false;
    sockaddr_in from = {};
    socklen_t len = sizeof(from);
    m_control = accept(m_listen, reinterpret_cast<sockaddr*>(&from), &len);
    if (m_control < 0)
        return false;
    m_start = MonotonicSeconds();
    Log("accepted from=%s", AddrText(from.sin_addr.s_addr, from.sin_port).c_str());
    // The session times of this log on the machine's monotonic clock, for outside measurements.
    Log("clock monotonic=%.6f", m_start);
    return true;
}

void VoicePeer::SendControl(const std::vector<unsigned char>& bytes)
{
    if (m_control >= 0)
        send(m_control, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void VoicePeer::CloseControl()
{
    if (m_control >= 0)
        close(m_control);
    m_control = -1;
}

void VoicePeer::DoAction(const ControlAction& a)
{
    if (a.verb == "request") {
        SendControl(ControlMessage(TALK_REQUEST, a.value, false));
    } else if (a.verb == "badmagic") {
        SendControl(ControlMessage(TALK_REQUEST, a.value, true));
    } else if (a.verb == "code") {
        SendControl(ControlMessage(static_cast<uint32_t>(a.value), 0, false));
    } else if (a.verb == "head" || a.verb == "tail") {
        std::vector<unsigned char> msg = ControlMessage(TALK_REQUEST, a.value, false);
        auto half = msg.begin() + static_cast<long>(msg.size() / 2);
        SendControl(a.verb == "head" ? std::vector<unsigned char>(msg.begin(), half)
                                     : std::vector<unsigned char>(half, msg.end()));
    } else if (a.verb == "partial") {
        std::vector<unsigned char> msg = ControlMessage(TALK_REQUEST, 0, false);
        msg.resize(static_cast<size_t>(a.value) < msg.size() ? a.value : msg.size());
        SendControl(msg);
    } else if (a.verb == "close") {
        CloseControl();
    }
    Log("ctl-sent action=%s value=%ld", a.verb.c_str(), a.value);
}

void VoicePeer::RunDueActions()
{
    while (m_nextAction < m_options.actions.size() && m_options.actions[m_nextAction].at <= Now())
        DoAction(m_options.actions[m_nextAction++]);
}

void VoicePeer::OnControlData()
{
    unsigned char buf[4096];
    ssize_t n = recv(m_control, buf, sizeof(buf), 0);
    if (n <= 0) {
        Log("ctl-closed");
        CloseControl();
        return;
    }
    m_ctlIn.insert(m_ctlIn.end(), buf, buf + n);
    while (m_ctlIn.size() >= static_cast<size_t>(kControlHeaderSize)) {
        ControlHeader header;
        if (!ParseControlHeader(m_ctlIn.data(), header)) {
            Log("ctl-recv badmagic");
            m_ctlIn.erase(m_ctlIn.begin(), m_ctlIn.begin() + kControlHeaderSize);
            continue;
        }
        size_t total = kControlHeaderSize + ControlBodyLength(header);
        if (m_ctlIn.size() < total)
            break;
        Log("ctl-recv code=%u body=%ld", header.code, static_cast<long>(header.bodyLength));
        if (header.code == TALK_ACCEPT)
            m_bAccepted = true;
        m_ctlIn.erase(m_ctlIn.begin(), m_ctlIn.begin() + total);
    }
}

void VoicePeer::OnDatagram()
{
    unsigned char buf[2048];
    sockaddr_in from = {};
    socklen_t len = sizeof(from);
    ssize_t n = recvfrom(m_udp, buf, sizeof(buf), 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0)
        return;
    std::string source = AddrText(from.sin_addr.s_addr, from.sin_port);
    VoicePacket packet;
    if (IsHelloDatagram(buf, static_cast<int>(n))) {
        m_bHello = true;
        m_clientAddr = from.sin_addr.s_addr;
        m_clientPort = from.sin_port;
        Log("hello from=%s", source.c_str());
    } else if (n == kVoicePacketSize && ParseVoicePacket(buf, static_cast<int>(n), packet)) {
        Log("voice seq=%u len=%zd from=%s", packet.seq, n, source.c_str());
        OnVoiceArrival(packet.seq, packet.pSpeech);
    } else {
        Log("udp-other len=%zd from=%s", n, source.c_str());
    }
}

bool VoicePeer::Chance(double rate)
{
    return rate > 0 && std::uniform_real_distribution<double>(0.0, 1.0)(m_rxRng) < rate;
}

void VoicePeer::Record(const std::vector<unsigned char>& speech)
{
    m_received.insert(m_received.end(), speech.begin(), speech.end());
    short pcm[kBlockSamples];
    CAudioCode().Decode(speech.data(), pcm, nullptr);
    m_receivedPcm.insert(m_receivedPcm.end(), pcm, pcm + kBlockSamples);
}

// The uplink's simulated network: an arrival may be lost, held back until the next one arrives
// (the two are then recorded swapped), or recorded twice. Without --rx-faults every arrival is
// recorded once, in order.
void VoicePeer::OnVoiceArrival(uint32_t seq, const unsigned char* pSpeech)
{
    const FaultRates& rates = m_options.rxRates;
    if (Chance(rates.loss)) {
        Log("rx-lost seq=%u", seq);
        return;
    }
    std::vector<unsigned char> speech(pSpeech, pSpeech + kSpeechBytes);
    if (m_held.empty() && Chance(rates.reorder)) {
        m_held = speech;
        m_heldSeq = seq;
        Log("rx-held seq=%u", seq);
        return;
    }
    Record(speech);
    if (Chance(rates.dup)) {
        Log("rx-dup seq=%u", seq);
        Record(speech);
    }
    if (!m_held.empty()) {
        Log("rx-released seq=%u", m_heldSeq);
        Record(m_held);
        m_held.clear();
    }
}

void VoicePeer::SendDueVoice()
{
    if (m_voiceStart < 0) {
        if (!m_bHello || !m_bAccepted || m_sends.empty())
            return;
        m_voiceStart = Now();
        Log("voice-start sends=%zu", m_sends.size());
    }
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = m_clientAddr;
    to.sin_port = m_clientPort;
    while (m_nextSend < m_sends.size() && m_voiceStart + m_sends[m_nextSend].at <= Now()) {
        uint32_t seq = m_sends[m_nextSend].seq;
        unsigned char packet[kVoicePacketSize];
        size_t block = (seq - 1) % (m_coded.size() / kSpeechBytes);  // --loop repeats the source
        BuildVoicePacket(packet, seq, &m_coded[block * kSpeechBytes], kSpeechBytes);
        sendto(m_udp, packet, sizeof(packet), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
        Log("sent seq=%u", seq);
        if (++m_nextSend == m_sends.size())
            Log("voice-done");
    }
}

int VoicePeer::PollTimeoutMs() const
{
    double next = m_options.duration;
    if (m_nextAction < m_options.actions.size())
        next = std::min(next, m_options.actions[m_nextAction].at);
    if (m_voiceStart >= 0 && m_nextSend < m_sends.size())
        next = std::min(next, m_voiceStart + m_sends[m_nextSend].at);
    double wait = next - Now();
    return wait <= 0 ? 0 : static_cast<int>(wait * 1000) + 1;
}

bool VoicePeer::SessionOver() const
{
    return Now() >= m_options.duration || (m_options.endOnClose && m_control < 0);
}

int VoicePeer::Run()
{
    if (!AcceptClient()) {
        Log("no-client");
        return 1;
    }
    while (!SessionOver()) {
        RunDueActions();
        SendDueVoice();
        pollfd fds[2] = {{m_udp, POLLIN, 0}, {m_control, POLLIN, 0}};
        int nfds = m_control >= 0 ? 2 : 1;
        if (poll(fds, nfds, PollTimeoutMs()) <= 0)
            continue;
        if (fds[0].revents & POLLIN)
            OnDatagram();
        if (nfds == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            OnControlData();
    }
    CloseControl();
    Log("done received=%zu", m_received.size() / kSpeechBytes);
    return 0;
}

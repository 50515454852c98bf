// The voice sockets on real loopback sockets: numbering and layout of outgoing packets, and which
// datagrams reach the receive path.
#include "tests/engine/enginehost.h"
#include "tests/engine/resolve_probe.h"
#include "voice/voicesock.h"
#include "voice/wire.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::vector<std::vector<unsigned char>> g_played;

void RecordPlay(const unsigned char* pCoded)
{
    g_played.emplace_back(pCoded, pCoded + 60);
}

std::vector<unsigned char> Payload(unsigned char fill)
{
    return std::vector<unsigned char>(60, fill);
}

}  // namespace

TEST(UdpSocket, NumbersPacketsFromOneAndCountsSendsThatFail)
{
    LoopbackPeer peer;
    CUdpSocket udp;
    ASSERT_TRUE(udp.Create(0, SOCK_DGRAM));
    udp.m_nPort = peer.UdpPort();
    std::vector<unsigned char> payload = Payload(0x11);

    EXPECT_EQ(SOCKET_ERROR, udp.Send(payload.data(), 60));  // no host yet: the send fails
    udp.SetHost("127.0.0.1");
    EXPECT_EQ(76, udp.Send(payload.data(), 60));
    std::vector<unsigned char> packet = peer.ReceiveDatagram(2000);
    ASSERT_EQ(76u, packet.size());
    EXPECT_EQ(2u, ReadLe32(packet.data()));
    EXPECT_EQ(std::vector<unsigned char>(12, 0),
              std::vector<unsigned char>(packet.begin() + 4, packet.begin() + 16));
    EXPECT_EQ(payload, std::vector<unsigned char>(packet.begin() + 16, packet.end()));

    EXPECT_EQ(76, udp.Send(Payload(0x22).data(), 60));
    EXPECT_EQ(3u, ReadLe32(peer.ReceiveDatagram(2000).data()));
}

TEST(UdpSocket, ResolvesANamedDestinationOncePerChange)
{
    ASSERT_TRUE(resolveprobe::Install());
    LoopbackPeer peer, other;
    CUdpSocket udp;
    ASSERT_TRUE(udp.Create(0, SOCK_DGRAM));
    // Each round: a destination, then three sends, which must reach it; the resolver is asked
    // once per round whose destination names a host.
    struct Round {
        const char* host;
        const LoopbackPeer* to;
        long resolved;
    };
    for (const Round& r : {Round{"localhost", &peer, 1}, Round{"127.0.0.1", &peer, 0},
                           Round{"localhost", &other, 1}, Round{"localhost", &peer, 1}}) {
        udp.SetHost(r.host);
        udp.m_nPort = r.to->UdpPort();
        long before = resolveprobe::Calls();
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(76, udp.Send(Payload(0x55).data(), 60)) << r.host;
            EXPECT_EQ(76u, const_cast<LoopbackPeer*>(r.to)->ReceiveDatagram(2000).size()) << r.host;
        }
        EXPECT_EQ(r.resolved, resolveprobe::Calls() - before) << r.host;
    }
}

TEST(UdpSocket, RefusesPayloadsThatDoNotFitItsBuffer)
{
    LoopbackPeer peer;
    CUdpSocket udp;
    ASSERT_TRUE(AimAtPeer(udp, peer));
    std::vector<unsigned char> big(1009, 0x33);
    EXPECT_EQ(SOCKET_ERROR, udp.Send(big.data(), 1009));
    EXPECT_EQ(1024, udp.Send(big.data(), 1008));
    EXPECT_EQ(1024u, peer.ReceiveDatagram(2000).size());
}

// Outside a call every sender is heard; during one only the call's peer (the sender here is
// 127.0.0.1, so a call with 127.0.0.2 hears nothing of it).
TEST(RecSocket, HandsWholeVoicePacketsOfTheCallsPeerToTheStore)
{
    struct Case {
        const char* peer;
        bool bHeard;
    };
    for (Case c : {Case{"", true}, Case{"127.0.0.1", true}, Case{"127.0.0.2", false}}) {
        g_played.clear();
        CRecSocket rec(RecordPlay, {});
        rec.m_recv.SetClassic(true);
        rec.m_callPeer = [&c] { return std::string(c.peer); };
        ASSERT_TRUE(rec.Create(0, SOCK_DGRAM));
        std::string addr;
        UINT port = 0;
        ASSERT_TRUE(rec.GetSockName(addr, port));

        CUdpSocket sender;  // another sender than the one the hello went to
        ASSERT_TRUE(sender.Create(0, SOCK_DGRAM));
        unsigned char stray[40] = {1};
        sender.SendTo(kHelloDatagram, kHelloSize, port, "127.0.0.1");
        sender.SendTo(stray, sizeof(stray), port, "127.0.0.1");
        sender.SetHost("127.0.0.1");
        sender.m_nPort = port;
        sender.Send(Payload(0x44).data(), 60);  // packet 1
        sender.Send(Payload(0x55).data(), 60);  // packet 2, after everything else

        // Loopback keeps one sender's order: once packet 2 is handled, every datagram was.
        ASSERT_TRUE(PumpUntil([&rec] {
            return rec.m_recv.Sort().LastSeq() >= 2 || rec.m_recv.Foreign() >= 2;
        })) << c.peer;
        std::vector<std::vector<unsigned char>> heard;
        if (c.bHeard)
            heard = {Payload(0x44), Payload(0x55)};
        EXPECT_EQ(heard, g_played) << c.peer << ": short datagrams carry no speech";
    }
}

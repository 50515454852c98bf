// The engine's session handling against a loopback peer: start, the answered talk request,
// hang-up, failed starts, a stalled control message, and the send path of captured blocks.
#include "tests/audio/alloc_probe.h"
#include "tests/engine/enginehost.h"
#include "voice/engine.h"
#include "voice/vocalis.h"
#include "voice/wire.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace {

UINT ClosedTcpPort()
{
    UINT port = 0;
    closesocket(BoundSocket(SOCK_STREAM, port));
    return port;
}

uint32_t ReplyCode(const std::vector<unsigned char>& reply)
{
    ControlHeader header;
    return reply.size() == 24 && ParseControlHeader(reply.data(), header) ? header.code : 0;
}

bool g_timerFired = false;
void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    g_timerFired = true;
    KillTimer(nullptr, id);
}

class EngineTest : public ::testing::Test {
protected:
    CInterface engine{nullptr};
    LoopbackPeer peer;
    std::thread peerThread;

    // The voice sockets as Init opens them; the wave devices are left out of these tests.
    void SetUp() override
    {
        engine.m_pRec->m_bCreated = engine.m_pRec->Create(0, SOCK_DGRAM);
        engine.m_pUdp->m_bCreated = engine.m_pUdp->Create(0, SOCK_DGRAM);
    }
    void TearDown() override
    {
        if (peerThread.joinable())
            peerThread.join();
    }
    // Starts the engine towards the peer, which asks for a talk; returns the peer's reply.
    std::vector<unsigned char> StartAndAccept(const char* host)
    {
        std::vector<unsigned char> reply;
        peerThread = std::thread([&] {
            if (peer.Accept() && peer.SendBytes(ControlBytes(TALK_REQUEST)))
                reply = peer.ReceiveBytes(24, 5000);
        });
        EXPECT_EQ(1, engine.Start(host, static_cast<int>(peer.TcpPort()),
                                  static_cast<int>(peer.UdpPort())));
        EXPECT_TRUE(PumpUntil([&] { return engine.m_pWaveIn->m_bSend != FALSE; }));
        peerThread.join();
        return reply;
    }
};

}  // namespace

TEST_F(EngineTest, AnsweredRequestSendsSpeechToTheConnectionsAddress)
{
    std::vector<unsigned char> reply = StartAndAccept("localhost");
    EXPECT_EQ(TALK_ACCEPT, ReplyCode(reply));
    EXPECT_EQ(0u, ReadLe32(reply.data() + 20));
    EXPECT_EQ("127.0.0.1", engine.m_pUdp->m_strHost);
    EXPECT_EQ(peer.UdpPort(), engine.m_pUdp->m_nPort);
    EXPECT_TRUE(engine.m_bTalking);
    std::vector<unsigned char> hello = peer.ReceiveDatagram(2000);
    EXPECT_EQ(std::vector<unsigned char>(kHelloDatagram, kHelloDatagram + kHelloSize), hello);

    EXPECT_EQ(0, engine.Start("127.0.0.1", static_cast<int>(peer.TcpPort()),
                              static_cast<int>(peer.UdpPort())));
    EXPECT_EQ(1, engine.Stop());
    EXPECT_FALSE(engine.m_bTalking);
    EXPECT_FALSE(engine.m_pWaveIn->m_bSend);
    EXPECT_EQ(0, engine.Stop());
}

TEST_F(EngineTest, StartToAClosedPortChangesNothing)
{
    EXPECT_EQ(0, engine.Start("127.0.0.1", static_cast<int>(ClosedTcpPort()),
                              static_cast<int>(peer.UdpPort())));
    EXPECT_FALSE(engine.m_bTalking);
    EXPECT_EQ("", engine.m_pUdp->m_strHost);
    EXPECT_EQ(0u, engine.m_pUdp->m_nPort);
    EXPECT_TRUE(peer.ReceiveDatagram(300).empty()) << "no hello after a failed start";
    // The sockets were closed again, so the next start can open them.
    StartAndAccept("127.0.0.1");
    EXPECT_TRUE(engine.m_bTalking);
}

TEST_F(EngineTest, StalledControlMessageReleasesTheThread)
{
    StartAndAccept("127.0.0.1");
    HANDLE sent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<unsigned char> extra;
    peerThread = std::thread([&] {
        std::vector<unsigned char> part = ControlBytes(TALK_REQUEST);
        part.resize(10);
        peer.SendBytes(part);
        SetEvent(sent);
        extra = peer.ReceiveBytes(24, 5000);  // nothing must come back; the peer keeps the line
    });
    PumpUntil([&] { return WaitForSingleObject(sent, 0) == WAIT_OBJECT_0; });
    // A timer is dispatched only once the thread is back in its own loop, out of any wait.
    g_timerFired = false;
    SetTimer(nullptr, 0, 10, OnTimer);
    EXPECT_TRUE(PumpUntil([] { return g_timerFired; }, 20000));
    EXPECT_TRUE(engine.m_bTalking);
    peerThread.join();
    EXPECT_TRUE(extra.empty());
    CloseHandle(sent);
}

TEST(MyWaveIn, CodesAndSendsWholeBlocksOnlyWhileSending)
{
    LoopbackPeer peer;
    CUdpSocket udp;
    ASSERT_TRUE(AimAtPeer(udp, peer));
    CMyWaveIn capture(&udp);
    short block[480];
    for (int n = 0; n < 480; ++n)
        block[n] = static_cast<short>(6000 * std::sin(n * 0.3));

    capture.OnWaveData(block, 960);
    EXPECT_TRUE(peer.ReceiveDatagram(200).empty()) << "sending is off at construction";
    capture.SetSend(TRUE);
    capture.OnWaveData(block, 958);
    EXPECT_TRUE(peer.ReceiveDatagram(200).empty()) << "a block the codec refuses sends nothing";
    capture.OnWaveData(block, 960);
    std::vector<unsigned char> packet = peer.ReceiveDatagram(2000);
    ASSERT_EQ(76u, packet.size());
    EXPECT_EQ(1u, ReadLe32(packet.data()));
    capture.SetSend(FALSE);
    capture.OnWaveData(block, 960);
    EXPECT_TRUE(peer.ReceiveDatagram(200).empty());
}

TEST(EngineDevices, SecondEngineOnAThreadSharesItsPlaybackDevice)
{
    CInterface first(nullptr);
    ASSERT_NE(nullptr, ThreadWaveOut());
    ASSERT_EQ(1, first.Init());
    {
        CInterface second(nullptr);
        // The thread's playback device already runs, so the second engine cannot start it.
        EXPECT_EQ(0, second.Init());
        EXPECT_FALSE(second.m_pUdp->m_bCreated);
        EXPECT_FALSE(second.m_pRec->m_bCreated);
    }
    // Destroying either engine removes the thread's playback device.
    EXPECT_EQ(nullptr, ThreadWaveOut());
}

TEST(TalkInterface, StartAfterAFailedInitReturnsZero)
{
    LoopbackPeer peer;
    CTalkInterface talk(nullptr);
    allocprobe::FailNext(CWaveIn::kBlockBytes);  // a capture buffer: Init fails half-way
    ASSERT_EQ(0, talk.Init());
    EXPECT_EQ(0, talk.Start("127.0.0.1", static_cast<int>(peer.TcpPort()),
                            static_cast<int>(peer.UdpPort())));
    EXPECT_EQ(0, talk.End());
}

// The voice peer's send schedule, command line and speech files: the end-to-end tests rely on
// them to inject exactly the faults they ask for and to read the files they are given.
#include "tools/voicepeer/audiofile.h"
#include "tools/voicepeer/options.h"
#include "tools/voicepeer/schedule.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

using Slots = std::vector<std::vector<uint32_t>>;

bool Parse(std::vector<const char*> args, PeerOptions& options, std::string& error)
{
    args.insert(args.begin(), "voicepeer");
    return ParseOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), options,
                        error);
}

}  // namespace

TEST(SendOrder, InjectsDropsSwapsAndDuplicatesIntoTheirSlots)
{
    const struct {
        const char* name;
        uint32_t count;
        SendFaults faults;  // drop, swap, dup
        Slots slots;
    } cases[] = {
        {"no faults", 3, {}, Slots{{1}, {2}, {3}}},
        {"one of each", 6, {{2}, {4}, {6}}, Slots{{1}, {}, {3}, {5}, {4}, {6, 6}}},
        // The last packet has nothing to trade places with.
        {"swap of the last", 3, {{}, {3}, {}}, Slots{{1}, {2}, {3}}},
        // A swap of neighbours moves each packet once.
        {"neighbouring swaps", 4, {{}, {2, 3}, {}}, Slots{{1}, {3}, {2}, {4}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.slots, BuildSendOrder(c.count, c.faults)) << c.name;
}

TEST(SendOrder, RandomFaultsFollowTheirRatesAndSeed)
{
    FaultRates rates;
    rates.loss = 0.05;
    rates.reorder = 0.1;
    SendFaults a, b, c;
    AddRandomFaults(20000, rates, 7, a);
    AddRandomFaults(20000, rates, 7, b);
    AddRandomFaults(20000, rates, 8, c);
    EXPECT_EQ(a.drop, b.drop);
    EXPECT_EQ(a.swap, b.swap);
    EXPECT_NE(a.drop, c.drop);
    EXPECT_TRUE(a.dup.empty());
    EXPECT_NEAR(1000, a.drop.size(), 150);
    EXPECT_NEAR(2000, a.swap.size(), 200);
    for (uint32_t seq : a.drop)
        EXPECT_TRUE(seq >= 1 && seq <= 20000);
}

TEST(SendOrder, BurstsAndJitterFollowTheirSettingsAndSeed)
{
    SendFaults a, b;
    AddBurstLoss(20000, {0.05, 2, 3}, 7, a);
    AddBurstLoss(20000, {0.05, 2, 3}, 7, b);
    EXPECT_EQ(a.drop, b.drop);
    EXPECT_NEAR(1000, a.drop.size(), 150);
    std::vector<int> runs;  // lengths of the runs of lost packets (adjacent bursts join)
    for (uint32_t seq : a.drop)
        if (a.drop.count(seq - 1))
            ++runs.back();
        else
            runs.push_back(1);
    EXPECT_GE(*std::min_element(runs.begin(), runs.end()), 2);

    std::vector<std::vector<uint32_t>> slots = BuildSendOrder(2000, {});
    std::vector<TimedSend> sends = TimeSends(slots, 0.060, 0.100, 7);
    ASSERT_EQ(2000u, sends.size());
    int nOvertaken = 0;
    for (size_t i = 0; i < sends.size(); ++i) {
        double slot = (sends[i].seq - 1) * 0.060;
        EXPECT_TRUE(sends[i].at >= slot && sends[i].at <= slot + 0.100) << sends[i].seq;
        nOvertaken += i > 0 && sends[i].seq < sends[i - 1].seq;
        EXPECT_TRUE(i == 0 || sends[i].at >= sends[i - 1].at);
    }
    EXPECT_GT(nOvertaken, 100);
}

TEST(PeerOptions, ParsesActionsAndFaultLists)
{
    PeerOptions o;
    std::string error;
    ASSERT_TRUE(
        Parse({"--tcp",  "5000",         "--udp",       "5001",        "--out",
               "/tmp",   "--drop",       "3,7",         "--ctl",       "1.5:badmagic+body=24",
               "--ctl",  "2:partial=10", "--ctl",       "3:close",     "--slot-ms",
               "59.94",  "--tx-faults",  "0.05,0,0.25", "--rx-faults", "0,1,0",
               "--loop", "60",           "--tx-bursts", "0.05,2,3",    "--jitter",
               "40"},
              o, error))
        << error;
    EXPECT_DOUBLE_EQ(0.05, o.txBursts.fraction);
    EXPECT_EQ(3, o.txBursts.maxLen);
    EXPECT_DOUBLE_EQ(0.040, o.jitterSeconds);
    EXPECT_EQ((std::set<uint32_t>{3, 7}), o.faults.drop);
    EXPECT_DOUBLE_EQ(0.05, o.txRates.loss);
    EXPECT_DOUBLE_EQ(0.25, o.txRates.dup);
    EXPECT_DOUBLE_EQ(1, o.rxRates.reorder);
    EXPECT_DOUBLE_EQ(60, o.loopSeconds);
    ASSERT_EQ(3u, o.actions.size());
    EXPECT_EQ("badmagic", o.actions[0].verb);
    EXPECT_EQ(24, o.actions[0].value);
    EXPECT_DOUBLE_EQ(1.5, o.actions[0].at);
    EXPECT_EQ("partial", o.actions[1].verb);
    EXPECT_EQ("close", o.actions[2].verb);
    EXPECT_DOUBLE_EQ(0.05994, o.slotSeconds);

    // A split request becomes its two halves, and the actions run in time order.
    PeerOptions split;
    ASSERT_TRUE(Parse({"--tcp", "1", "--udp", "2", "--out", "x", "--ctl", "1:split+body=4", "--ctl",
                       "1.02:close"},
                      split, error))
        << error;
    ASSERT_EQ(3u, split.actions.size());
    EXPECT_EQ("head", split.actions[0].verb);
    EXPECT_EQ("close", split.actions[1].verb);
    EXPECT_EQ("tail", split.actions[2].verb);
    EXPECT_EQ(4, split.actions[2].value);
    EXPECT_DOUBLE_EQ(1 + kSplitDelay, split.actions[2].at);

    PeerOptions d;
    ASSERT_TRUE(Parse({"--tcp", "1", "--udp", "2", "--out", "x"}, d, error));
    ASSERT_EQ(1u, d.actions.size()) << "one request by default";
    EXPECT_EQ("request", d.actions[0].verb);
    EXPECT_DOUBLE_EQ(0.060, d.slotSeconds);
}

TEST(PeerOptions, RefusesWhatItCannotCarryOut)
{
    std::string error;
    for (std::vector<const char*> args : std::vector<std::vector<const char*>>{
             {"--tcp", "1", "--udp", "2"},                                  // no --out
             {"--tcp", "1", "--udp", "2", "--out", "x", "--ctl", "1:hug"},  // unknown action
             {"--tcp", "1", "--udp", "2", "--out", "x", "--ctl", "close"},  // no time
             {"--tcp", "1", "--udp", "2", "--out", "x", "--ctl", "1:partial"},
             {"--tcp", "1", "--udp", "2", "--out", "x", "--ctl", "1:close=3"},  // takes no value
             {"--tcp", "1", "--udp", "2", "--out", "x", "--ctl", "1:request=3"},
             {"--tcp", "1", "--udp", "2", "--out", "x", "--drop", "0"},  // packets count from 1
             {"--tcp", "1", "--udp", "2", "--out", "x", "--loss"},
             {"--tcp", "1", "--udp", "2", "--out", "x", "--slot-ms", "0"},  // never sends
             {"--tcp", "1", "--udp", "2", "--out", "x", "--slot-ms", "fast"},
             {"--tcp", "1", "--udp", "2", "--out", "x", "--tx-faults", "0.05,0.05"},
             {"--tcp", "1", "--udp", "2", "--out", "x", "--rx-faults", "0,1.5,0"},
             {"--tcp", "1", "--udp", "2", "--out", "x", "--rx-faults", "0,0,0,0"},
             {"--tcp", "1", "--udp", "2", "--out", "x", "--tx-bursts", "0.05,3,2"},
             {"--tcp", "1", "--udp", "2", "--out", "x", "--tx-bursts", "0.05,0,2"},
             {"--tcp", "1", "--udp", "2", "--out", "x", "--jitter", "-5"},
             {"--tcp", "x1", "--udp", "2", "--out", "x"}}) {
        PeerOptions o;
        EXPECT_FALSE(Parse(args, o, error)) << args.back();
    }
}

// What the command line answers: --help wherever an option name stands, otherwise one line that
// names the option at fault.
TEST(PeerOptions, AnswersHelpAndNamesWhatIsWrong)
{
    struct Case {
        std::vector<const char*> args;
        bool help;
        std::string error;  // empty: accepted
    };
    const Case cases[] = {
        {{"--help"}, true, ""},
        {{"-h"}, true, ""},
        {{"--tcp", "x1", "--help"}, true, ""},  // help needs nothing else to be right
        {{"--tcp", "1", "--udp", "2", "--out", "x", "--bogus", "1"},
         false,
         "unknown option: --bogus"},
        {{"--tcp", "1", "--udp", "2", "--out", "x", "help"}, false, "unknown option: help"},
        {{"--tcp", "1", "--udp", "2", "--out"}, false, "missing value after --out"},
        {{"--tcp", "1", "--udp", "2", "--out", "x", "--seed"}, false, "missing value after --seed"},
        {{"--tcp", "5x", "--udp", "2", "--out", "x"}, false, "bad value for --tcp: 5x"},
        {{"--tcp", "1", "--udp", "65536", "--out", "x"}, false, "bad value for --udp: 65536"},
        {{"--tcp", "0", "--udp", "2", "--out", "x"}, false, "bad value for --tcp: 0"},
        {{"--tcp", "1", "--udp", "2", "--out", "x", "--duration", "-1"},
         false,
         "bad value for --duration: -1"},
        {{"--tcp", "1", "--udp", "2", "--out", ""}, false, "bad value for --out: "},
        {{"--tcp", "1", "--udp", "2"}, false, "--tcp, --udp and --out are required"},
    };
    for (const Case& c : cases) {
        PeerOptions o;
        std::string error;
        bool ok = Parse(c.args, o, error);
        EXPECT_EQ(c.error.empty(), ok) << c.args[0] << " ... " << c.args.back();
        EXPECT_EQ(c.help, o.help) << c.args.back();
        if (!ok) {
            EXPECT_EQ(c.error, error);
        }
    }
}

// Every option the usage text lists is one the parser knows, so the help cannot drift from it.
TEST(PeerOptions, UsageListsOnlyOptionsTheParserTakes)
{
    std::istringstream usage(kPeerUsage);
    std::set<std::string> listed;
    for (std::string word; usage >> word;) {
        if (word.rfind("--", 0) != 0 || word == "--help")
            continue;
        PeerOptions o;
        std::string error;
        Parse({"--tcp", "1", "--udp", "2", "--out", "x", word.c_str(), "1"}, o, error);
        EXPECT_EQ(std::string::npos, error.find("unknown option")) << word;
        listed.insert(word);
    }
    EXPECT_EQ(20u, listed.size()) << "every option of the parser is listed";
}

TEST(SpeechFile, ReadsRawAndWavAndRefusesOtherFormats)
{
    std::string dir = ::testing::TempDir();
    std::vector<int16_t> tones = ToneBlocks(2);
    ASSERT_EQ(960u, tones.size());
    ASSERT_TRUE(WriteWav(dir + "/t.wav", tones));
    std::vector<int16_t> back;
    std::string error;
    ASSERT_TRUE(ReadSpeech(dir + "/t.wav", back, error)) << error;
    EXPECT_EQ(tones, back);
    {
        std::ofstream raw(dir + "/t.raw", std::ios::binary);
        raw.write(reinterpret_cast<const char*>(tones.data()), 7);  // an odd trailing byte
    }
    ASSERT_TRUE(ReadSpeech(dir + "/t.raw", back, error));
    EXPECT_EQ(3u, back.size());

    std::ifstream in(dir + "/t.wav", std::ios::binary);
    std::string wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    wav[24] = 0x44;  // 8004 Hz: not 8 kHz
    std::ofstream(dir + "/r.wav", std::ios::binary) << wav;
    EXPECT_FALSE(ReadSpeech(dir + "/r.wav", back, error));
    std::ofstream(dir + "/n.wav", std::ios::binary) << "RIFF....WAVEjunk";
    EXPECT_FALSE(ReadSpeech(dir + "/n.wav", back, error));
    EXPECT_FALSE(ReadSpeech(dir + "/missing.raw", back, error));
}

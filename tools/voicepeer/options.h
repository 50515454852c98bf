// Command line of the voice peer.
//
//   voicepeer --tcp PORT --udp PORT --out DIR [options]
//     --send FILE          speech to send (raw s16le 8 kHz mono, or .wav in that format)
//     --tones N            send N tone blocks instead (block k: 400 + 60 (17 k mod 40) Hz)
//     --send-seconds S     send at most S seconds of the source
//     --drop LIST --swap LIST --dup LIST   faults on the numbered packets (LIST: 3,7,12)
//     --tx-faults L,R,D    besides: lose, swap with the next and duplicate these fractions of the
//                          packets sent, picked at random (e.g. 0.05,0.05,0.05)
//     --rx-faults L,R,D    the same faults on the client's packets as they arrive, before they
//                          are recorded: the uplink's half of a lossy network
//     --seed N             seed of the random faults (default 1)
//     --loop S             repeat the source's packets until S seconds of them have been sent
//     --end-on-close 1     end the session as soon as the control connection closes
//     --ctl T:ACTION       control action T seconds after the accept (repeatable); ACTION is
//                          request | request+body=N | split+body=N | badmagic+body=N | code=N |
//                          partial=N | close (without any --ctl the peer sends one request at
//                          0.2 s); split sends a request with an N-byte body in two halves,
//                          the second kSplitDelay seconds after the first

//     --duration S         seconds after the accept until the peer closes and exits (default 30)
//     --wait-accept S      seconds to wait for the client's connection (default 30)
//     --slot-ms MS         send one packet every MS milliseconds (default 60; 59.94 is a clock
//                          0.1% fast)
#pragma once

#include "tools/voicepeer/schedule.h"

#include <string>
#include <vector>

// How long a split request's second half follows its first.
const double kSplitDelay = 0.05;

struct ControlAction {
    double at = 0;          // seconds after the connection was accepted
    // request, badmagic, code, partial, close; a split request becomes "head" and "tail"
    std::string verb;
    long value = 0;         // body length, code or byte count
};

struct PeerOptions {
    int tcpPort = 0, udpPort = 0;
    std::string outDir;
    std::string sendFile;
    unsigned tones = 0;
    double sendSeconds = 1e9;
    SendFaults faults;
    FaultRates txRates, rxRates;
    unsigned seed = 1;
    double loopSeconds = 0;
    bool endOnClose = false;
    std::vector<ControlAction> actions;
    double duration = 30;
    double waitAccept = 30;
    double slotSeconds = 0.060;
};

// Returns false and sets error for an unknown option, a missing value or a malformed action.
bool ParseOptions(int argc, char** argv, PeerOptions& options, std::string& error);

// Command line of the voice peer; kPeerUsage lists every option with its default.
#pragma once

#include "tools/voicepeer/schedule.h"

#include <string>
#include <vector>

// How long a split request's second half follows its first.
constexpr double kSplitDelay = 0.05;

struct ControlAction {
    double at = 0;  // seconds after the connection was accepted
    // request, badmagic, code, partial, close; a split request becomes "head" and "tail"
    std::string verb;
    long value = 0;  // body length, code or byte count
};

struct PeerOptions {
    int tcpPort = 0, udpPort = 0;
    std::string outDir;
    std::string sendFile;
    unsigned tones = 0;
    double sendSeconds = 1e9;
    SendFaults faults;
    FaultRates txRates, rxRates;
    BurstLoss txBursts;
    double jitterSeconds = 0;
    unsigned seed = 1;
    double loopSeconds = 0;
    bool endOnClose = false;
    std::vector<ControlAction> actions;
    double duration = 30;
    double waitAccept = 30;
    double slotSeconds = 0.060;
    bool help = false;  // --help was given: print kPeerUsage and do nothing else
};

// The full usage text that --help prints.
extern const char kPeerUsage[];

// Returns false and sets error (one line naming the option) for an unknown option, a missing
// or malformed value, or a missing required option. With --help anywhere in the option names it
// sets options.help and returns true without checking the rest.
bool ParseOptions(int argc, char** argv, PeerOptions& options, std::string& error);

#include "tools/voicepeer/options.h"

#include "tools/cli/cli.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

const char kPeerUsage[] =
    "usage: voicepeer --tcp PORT --udp PORT --out DIR [options]\n"
    "The remote side of a voice session, on 127.0.0.1: waits for the client's control\n"
    "connection, asks for a talk, streams coded speech and records what the client sends.\n"
    "Writes to DIR: events.log, sent.g729, received.g729 and received.wav.\n"
    "\n"
    "required:\n"
    "  --tcp PORT           control (TCP) port to listen on\n"
    "  --udp PORT           voice (UDP) port to send from and receive on\n"
    "  --out DIR            folder for the files written (must exist)\n"
    "what to send (default: nothing, only silence is recorded):\n"
    "  --send FILE          speech: raw s16le 8 kHz mono, or a .wav in that format\n"
    "  --tones N            N tone blocks instead (block k: 400 + 60 (17 k mod 40) Hz)\n"
    "  --send-seconds S     send at most S seconds of the source (default: all of it)\n"
    "  --loop S             repeat the source's packets until S seconds were sent (default 0: "
    "once)\n"
    "  --slot-ms MS         one packet every MS milliseconds (default 60; 59.94 is a clock 0.1% "
    "fast)\n"
    "faults:\n"
    "  --drop LIST          lose these packets of the peer's (numbered from 1; LIST: 3,7,12)\n"
    "  --swap LIST          send each of these packets after its successor\n"
    "  --dup LIST           send these packets twice\n"
    "  --tx-faults L,R,D    besides: lose, swap with the next and duplicate these fractions (0 to "
    "1)\n"
    "                       of the packets sent, picked at random (default 0,0,0)\n"
    "  --rx-faults L,R,D    the same faults on the client's packets as they arrive, before they "
    "are\n"
    "                       recorded (default 0,0,0)\n"
    "  --tx-bursts F,MIN,MAX  besides: lose about the fraction F of the packets sent in runs of "
    "MIN\n"
    "                       to MAX packets (default 0,2,3)\n"
    "  --jitter MS          delay each packet sent by 0 to MS milliseconds, at random (default 0)\n"
    "  --seed N             seed of the random faults (default 1)\n"
    "control connection:\n"
    "  --ctl T:ACTION       act T seconds after the accept (repeatable); ACTION is request |\n"
    "                       request+body=N | split+body=N | badmagic+body=N | code=N | partial=N "
    "|\n"
    "                       close (default: one request at 0.2 s); split sends an N-byte body in "
    "two\n"
    "                       halves, the second 50 ms after the first\n"
    "  --end-on-close 1     end the session as soon as the control connection closes (default 0)\n"
    "timing:\n"
    "  --duration S         seconds after the accept until the peer closes and exits (default 30)\n"
    "  --wait-accept S      seconds to wait for the client's connection (default 30)\n"
    "  --help               this text\n";

static_assert(kSplitDelay == 0.05, "the usage text names the split delay");

namespace {

const char* const kOptionNames[] = {
    "--tcp",          "--udp",       "--out",         "--send",      "--tones",
    "--send-seconds", "--loop",      "--slot-ms",     "--drop",      "--swap",
    "--dup",          "--tx-faults", "--rx-faults",   "--seed",      "--ctl",
    "--end-on-close", "--duration",  "--wait-accept", "--tx-bursts", "--jitter"};

bool IsOption(const std::string& name)
{
    return std::find(std::begin(kOptionNames), std::end(kOptionNames), name) !=
           std::end(kOptionNames);
}

bool IsPort(double number)
{
    return number >= 1 && number <= 65535 && number == static_cast<int>(number);
}

bool ParseNumber(const std::string& text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0';
}

bool ParseList(const std::string& text, std::set<uint32_t>& out)
{
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        double value = 0;
        if (!ParseNumber(item, value) || value < 1)
            return false;
        out.insert(static_cast<uint32_t>(value));
    }
    return true;
}

// "L,R,D": three fractions from 0 to 1.
bool ParseRates(const std::string& text, FaultRates& rates)
{
    std::istringstream in(text);
    double* fields[] = {&rates.loss, &rates.reorder, &rates.dup};
    std::string item;
    for (double* field : fields) {
        if (!std::getline(in, item, ',') || !ParseNumber(item, *field) || *field < 0 || *field > 1)
            return false;
    }
    return !std::getline(in, item, ',');
}

// "F,MIN,MAX": a fraction from 0 to 1 and run lengths 1 <= MIN <= MAX.
bool ParseBursts(const std::string& text, BurstLoss& burst)
{
    std::istringstream in(text);
    std::string fraction, lo, hi, rest;
    double f = 0, a = 0, b = 0;
    if (!std::getline(in, fraction, ',') || !std::getline(in, lo, ',') ||
        !std::getline(in, hi, ',') || std::getline(in, rest, ',') || !ParseNumber(fraction, f) ||
        !ParseNumber(lo, a) || !ParseNumber(hi, b) || f < 0 || f > 1 || a < 1 || b < a)
        return false;
    burst = {f, static_cast<int>(a), static_cast<int>(b)};
    return true;
}

// "T:VERB" or "T:VERB=N" or "T:VERB+body=N".
bool ParseAction(const std::string& text, ControlAction& action)
{
    size_t colon = text.find(':');
    if (colon == std::string::npos || !ParseNumber(text.substr(0, colon), action.at))
        return false;
    std::string rest = text.substr(colon + 1);
    size_t eq = rest.find('=');
    action.verb = rest.substr(0, eq);
    if (action.verb == "request+body" || action.verb == "badmagic+body" ||
        action.verb == "split+body")
        action.verb.resize(action.verb.find('+'));
    else if (action.verb == "request" || action.verb == "close")
        return eq == std::string::npos;
    else if (action.verb != "code" && action.verb != "partial")
        return false;
    double value = 0;
    if (eq == std::string::npos || !ParseNumber(rest.substr(eq + 1), value))
        return false;
    action.value = static_cast<long>(value);
    return true;
}

bool ApplyOption(const std::string& name, const std::string& value, PeerOptions& o)
{
    double number = 0;
    bool bNumber = ParseNumber(value, number);
    if (name == "--tcp" || name == "--udp") {
        if (!bNumber || !IsPort(number))
            return false;
        (name == "--tcp" ? o.tcpPort : o.udpPort) = static_cast<int>(number);
        return true;
    } else if (name == "--out")
        return !(o.outDir = value).empty();
    else if (name == "--send")
        return !(o.sendFile = value).empty();
    else if (name == "--tones")
        o.tones = static_cast<unsigned>(number);
    else if (name == "--send-seconds")
        o.sendSeconds = number;
    else if (name == "--duration")
        o.duration = number;
    else if (name == "--slot-ms")
        return bNumber && (o.slotSeconds = number / 1000) > 0;
    else if (name == "--wait-accept")
        o.waitAccept = number;
    else if (name == "--seed")
        o.seed = static_cast<unsigned>(number);
    else if (name == "--loop")
        o.loopSeconds = number;
    else if (name == "--end-on-close")
        o.endOnClose = number != 0;
    else if (name == "--tx-faults")
        return ParseRates(value, o.txRates);
    else if (name == "--rx-faults")
        return ParseRates(value, o.rxRates);
    else if (name == "--tx-bursts")
        return ParseBursts(value, o.txBursts);
    else if (name == "--jitter")
        o.jitterSeconds = number / 1000;
    else if (name == "--drop")
        return ParseList(value, o.faults.drop);
    else if (name == "--swap")
        return ParseList(value, o.faults.swap);
    else if (name == "--dup")
        return ParseList(value, o.faults.dup);
    else if (name == "--ctl") {
        ControlAction action;
        if (!ParseAction(value, action))
            return false;
        if (action.verb == "split") {
            o.actions.push_back({action.at, "head", action.value});
            o.actions.push_back({action.at + kSplitDelay, "tail", action.value});
        } else {
            o.actions.push_back(action);
        }
        return true;
    } else
        return false;
    return bNumber && number >= 0;
}

}  // namespace

bool ParseOptions(int argc, char** argv, PeerOptions& options, std::string& error)
{
    for (int i = 1; i < argc; i += 2) {
        if (cli::IsHelp(argv[i])) {
            options.help = true;
            return true;
        }
    }
    for (int i = 1; i < argc; i += 2) {
        std::string name = argv[i];
        if (!IsOption(name)) {
            error = "unknown option: " + name;
            return false;
        }
        if (i + 1 >= argc) {
            error = "missing value after " + name;
            return false;
        }
        if (!ApplyOption(name, argv[i + 1], options)) {
            error = "bad value for " + name + ": " + argv[i + 1];
            return false;
        }
    }
    if (!options.tcpPort || !options.udpPort || options.outDir.empty()) {
        error = "--tcp, --udp and --out are required";
        return false;
    }
    if (options.actions.empty())
        options.actions.push_back(ControlAction{0.2, "request", 0});
    // The peer runs its actions in time order; a split's tail may fall behind a later action.
    std::stable_sort(options.actions.begin(), options.actions.end(),
                     [](const ControlAction& a, const ControlAction& b) { return a.at < b.at; });
    return true;
}

#include "tools/voicepeer/options.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {

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

// "T:VERB" or "T:VERB=N" or "T:VERB+body=N".
bool ParseAction(const std::string& text, ControlAction& action)
{
    size_t colon = text.find(':');
    if (colon == std::string::npos || !ParseNumber(text.substr(0, colon), action.at))
        return false;
    std::string rest = text.substr(colon + 1);
    size_t eq = rest.find('=');
    action.verb = rest.substr(0, eq);
    if (action.verb == "request+body" || action.verb == "badmagic+body" || action.verb == "split+body")
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
    if (name == "--tcp") o.tcpPort = static_cast<int>(number);
    else if (name == "--udp") o.udpPort = static_cast<int>(number);
    else if (name == "--out") return !(o.outDir = value).empty();
    else if (name == "--send") return !(o.sendFile = value).empty();
    else if (name == "--tones") o.tones = static_cast<unsigned>(number);
    else if (name == "--send-seconds") o.sendSeconds = number;
    else if (name == "--duration") o.duration = number;
    else if (name == "--slot-ms") return bNumber && (o.slotSeconds = number / 1000) > 0;
    else if (name == "--wait-accept") o.waitAccept = number;
    else if (name == "--seed") o.seed = static_cast<unsigned>(number);
    else if (name == "--loop") o.loopSeconds = number;
    else if (name == "--end-on-close") o.endOnClose = number != 0;
    else if (name == "--tx-faults") return ParseRates(value, o.txRates);
    else if (name == "--rx-faults") return ParseRates(value, o.rxRates);
    else if (name == "--drop") return ParseList(value, o.faults.drop);
    else if (name == "--swap") return ParseList(value, o.faults.swap);
    else if (name == "--dup") return ParseList(value, o.faults.dup);
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
    } else return false;
    return bNumber && number >= 0;
}

}  // namespace

bool ParseOptions(int argc, char** argv, PeerOptions& options, std::string& error)
{
    for (int i = 1; i < argc; i += 2) {
        std::string name = argv[i];
        if (i + 1 >= argc || !ApplyOption(name, argv[i + 1], options)) {
            error = "bad option or value: " + name;
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

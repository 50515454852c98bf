#include "script.h"

#include <map>
#include <sstream>

namespace {

const std::map<std::string, size_t>& ArgCounts()
{
    static const std::map<std::string, size_t> counts = {
        {"init", 0}, {"start", 3}, {"sound", 1}, {"end", 0}, {"destroy", 0},
        {"loghook", 1}, {"wait", 1}, {"waitfor", 2}, {"waitmsg", 2}, {"exit", 0},
        {"onbegin", 1}, {"onend", 1}, {"marks", 0}, {"activate", 1}, {"loop", 1}, {"endloop", 0},
        {"sample", 1}};
    return counts;
}

bool ParseLine(const std::string& line, std::vector<Step>& steps, std::string& error)
{
    std::istringstream words(line.substr(0, line.find('#')));
    Step step;
    if (!(words >> step.verb))
        return true;
    for (std::string arg; words >> arg;)
        step.args.push_back(arg);
    auto it = ArgCounts().find(step.verb);
    if (it == ArgCounts().end() || it->second != step.args.size()) {
        error = "bad step: " + line;
        return false;
    }
    step.text = step.verb;
    for (const std::string& arg : step.args)
        step.text += " " + arg;
    steps.push_back(step);
    return true;
}

}  // namespace

bool ParseScript(const std::string& script, std::vector<Step>& steps, std::string& error)
{
    std::string line;
    for (char c : script + "\n") {
        if (c == '\n' || c == ';' || c == '\r') {
            if (!ParseLine(line, steps, error))
                return false;
            line.clear();
        } else {
            line += c;
        }
    }
    return true;
}

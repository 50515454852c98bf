#include "script.h"

#include <map>
#include <sstream>

const char kScriptHelp[] =
    "SCRIPT: one step per line or steps separated by ';'; '#' starts a comment. Each step's\n"
    "result is logged as \"step: TEXT -> N\".\n"
    "  init                    CTalkInterface::Init\n"
    "  start HOST TCP UDP      CTalkInterface::Start\n"
    "  sound 0|1               CTalkInterface::EnableSound\n"
    "  end                     CTalkInterface::End\n"
    "  destroy                 delete the interface object\n"
    "  loghook 0|1|ui|ui-end   clear or set the log hook (1, set at the start); ui: lines from\n"
    "                          other threads are sent to the window; ui-end: also End there on\n"
    "                          MM_WIM_CLOSE\n"
    "  post                    post a message to the window (logged when handled)\n"
    "  assign                  assign a new interface object to the interface\n"
    "  copy                    go on with a copy of the interface made by assignment\n"
    "  wait MS                 do nothing for MS milliseconds\n"
    "  waitfor PATH MS         until the file PATH exists, MS milliseconds at most (result 0: "
    "not)\n"
    "  waitmsg begin|end MS    until one more WM_TALK_BEGIN / WM_TALK_END, MS milliseconds at "
    "most\n"
    "  onbegin|onend none|end|destroy|msgbox\n"
    "                          what the window does on WM_TALK_BEGIN / WM_TALK_END (default none)\n"
    "  marks                   mark session begin and end in the voice stream\n"
    "  activate 0|1            the window active, or the thread without an active window\n"
    "  loop N ... endloop      the steps between, N times (loops do not nest)\n"
    "  sample MS               resource samples of the process every MS milliseconds; 0: one now\n"
    "  exit                    end the program (also after the last step)\n";

namespace {

const std::map<std::string, size_t>& ArgCounts()
{
    static const std::map<std::string, size_t> counts = {
        {"init", 0},    {"start", 3},  {"sound", 1},   {"end", 0},      {"destroy", 0},
        {"loghook", 1}, {"wait", 1},   {"waitfor", 2}, {"waitmsg", 2},  {"exit", 0},
        {"onbegin", 1}, {"onend", 1},  {"marks", 0},   {"activate", 1}, {"loop", 1},
        {"endloop", 0}, {"sample", 1}, {"post", 0},    {"assign", 0},   {"copy", 0}};
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

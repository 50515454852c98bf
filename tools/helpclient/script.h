// The harness's step script; kScriptHelp describes every step.
#pragma once

#include <string>
#include <vector>

struct Step {
    std::string verb;
    std::vector<std::string> args;
    std::string text;  // the step as written, for the log
};

// The script's grammar, as helpclient --help prints it.
extern const char kScriptHelp[];

// Splits a script into steps. Returns false and names the bad line in error when a verb is
// unknown or has the wrong number of arguments.
bool ParseScript(const std::string& script, std::vector<Step>& steps, std::string& error);

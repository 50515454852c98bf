// The harness's step script: one step per line (or separated by ';'), '#' starts a comment.
//   init | start HOST TCP UDP | sound 0|1 | end | destroy | loghook 0|1
//   wait MS | waitfor PATH MS | waitmsg begin|end MS | exit
//   onbegin|onend none|end|destroy|msgbox   what the window does on WM_TALK_BEGIN / WM_TALK_END
//   marks          mark session begin and end in the voice stream (see notify.h)
//   activate 0|1   the window active, or the thread without an active window
//   loop N ... endloop   the steps between, N times (loops do not nest)
//   sample MS      resource samples of the process every MS milliseconds; 0: one sample now
#pragma once

#include <string>
#include <vector>

struct Step {
    std::string verb;
    std::vector<std::string> args;
    std::string text;  // the step as written, for the log
};

// Splits a script into steps. Returns false and names the bad line in error when a verb is
// unknown or has the wrong number of arguments.
bool ParseScript(const std::string& script, std::vector<Step>& steps, std::string& error);

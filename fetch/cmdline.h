// The downloader's command-line grammar: four keys found by plain, case-sensitive substring
// search, each value running up to the next key. Portable (no windows.h), so it is tested natively.
#pragma once
#include <cstdint>
#include <string>

struct DldCommandLine {
    int32_t hwnd = 0;   // starting window handle, decimal
    int32_t type = 0;   // download type (0 new, 1 replace, 2 resume; others are accepted)
    std::wstring url;   // taken literally, blanks and quotes included
    std::wstring path;  // taken literally, up to the end of the line
};

// The wide atol rules: leading white space skipped, an optional sign, then decimal digits up to
// the first other character; no digits gives 0. Values beyond 32 bits saturate.
int32_t WideAtol(const std::wstring& text);

// Cuts the four values out of the whole command line (program path included). Returns false when
// "/hwnd=" is missing, or when one of the later keys is missing or out of order; the program then
// ends at once without a window.
bool ParseDldCommandLine(const std::wstring& line, DldCommandLine* out);

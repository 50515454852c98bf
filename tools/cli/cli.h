// Command-line manners shared by the project's programs: "--help" (or "-h") prints the full
// usage on standard output and ends the program with 0; a bad option or value prints one line
// naming the problem and one line pointing to --help on standard error and ends it with 2.
#pragma once

#include <cstdio>
#include <string>

namespace cli {

const int kUsageError = 2;

inline bool IsHelp(const std::string& arg)
{
    return arg == "--help" || arg == "-h";
}
inline bool IsHelp(const std::wstring& arg)
{
    return arg == L"--help" || arg == L"-h";
}

// Prints the usage text on standard output; returns the exit code of a --help run.
inline int PrintUsage(const char* usage)
{
    std::fputs(usage, stdout);
    std::fflush(stdout);
    return 0;
}

// Prints "TOOL: PROBLEM" and the hint on standard error; returns the usage error's exit code.
inline int Refuse(const char* tool, const std::string& problem)
{
    std::fprintf(stderr, "%s: %s\ntry '%s --help'\n", tool, problem.c_str(), tool);
    return kUsageError;
}

// The same for a program that reads its command line as wide strings.
inline int Refuse(const char* tool, const std::wstring& problem)
{
    std::fprintf(stderr, "%s: %ls\ntry '%s --help'\n", tool, problem.c_str(), tool);
    return kUsageError;
}

}  // namespace cli

// g729a: command-line front end of the speech codec (g729a --help prints the usage).
#include <cstdio>
#include <string>
#include <vector>

#include "conform.h"
#include "tools/cli/cli.h"
#include "transcode.h"

namespace {

const char kTool[] = "g729a";

const char kUsage[] =
    "usage: g729a encode [--itu] IN.raw OUT\n"
    "       g729a decode [--itu] IN OUT.raw\n"
    "       g729a conform DIR\n"
    "Codes speech with G.729 Annex A, 10 ms frames of 80 samples.\n"
    "  encode IN.raw OUT    16-bit little-endian mono 8 kHz PCM -> packed 10-byte frames; whole\n"
    "                       60 ms blocks first, then single frames; a tail shorter than a frame\n"
    "                       is ignored with a note\n"
    "  decode IN OUT.raw    packed frames -> 16-bit little-endian mono 8 kHz PCM; erased frames\n"
    "                       of a serial bitstream are concealed from the frames before them\n"
    "  conform DIR          report against the ITU-T reference vectors in DIR: parameter\n"
    "                       agreement and SNR per vector\n"
    "options:\n"
    "  --itu                encode writes, decode reads the serial bitstream (per frame a sync\n"
    "                       word, a size word and one 16-bit word per bit; a frame with a zero\n"
    "                       bit word was erased) instead of packed frames (default: packed)\n"
    "  --help               this text\n"
    "Exit code 0 on success, 1 when conform misses a bar, 2 on a bad command line or on\n"
    "unreadable or malformed input.\n";

struct CommandLine {
    std::vector<std::string> args;  // the command and its file names
    bool serial = false;
    bool help = false;
};

// Returns an empty string, or the problem with the command line.
std::string Parse(int argc, char** argv, CommandLine* line)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (cli::IsHelp(a)) {
            line->help = true;
            return "";
        }
        if (a == "--itu") {
            line->serial = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option: " + a;
        } else {
            line->args.push_back(a);
        }
    }
    const std::vector<std::string>& args = line->args;
    if (args.empty())
        return "no command given (encode, decode or conform)";
    const std::string& command = args[0];
    if (command == "encode" || command == "decode") {
        return args.size() == 3 ? "" : command + " takes two files, IN and OUT";
    }
    if (command == "conform") {
        if (line->serial)
            return "--itu does not apply to conform";
        return args.size() == 2 ? "" : "conform takes one folder, DIR";
    }
    return "unknown command: " + command;
}

}  // namespace

int main(int argc, char** argv)
{
    CommandLine line;
    std::string problem = Parse(argc, argv, &line);
    if (line.help)
        return cli::PrintUsage(kUsage);
    if (!problem.empty())
        return cli::Refuse(kTool, problem);
    const std::vector<std::string>& args = line.args;
    if (args[0] == "encode")
        return g729a::EncodeCommand(args[1], args[2], line.serial);
    if (args[0] == "decode")
        return g729a::DecodeCommand(args[1], args[2], line.serial);
    return g729a::ConformCommand(args[1]);
}

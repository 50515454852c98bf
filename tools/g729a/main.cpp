// g729a: command-line front end of the speech codec.
//   g729a encode [--itu] IN.raw OUT      16-bit LE mono 8 kHz PCM -> packed 10-byte frames
//   g729a decode [--itu] IN OUT.raw      packed frames -> PCM
//   g729a conform DIR                    report against the reference vectors in DIR
// --itu reads or writes the serial bitstream (sync word, size word, one word per bit).
#include <cstdio>
#include <string>
#include <vector>

#include "conform.h"
#include "transcode.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "g729a: usage: g729a encode|decode [--itu] IN OUT, or g729a conform DIR\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  bool serial = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--itu") {
      serial = true;
    } else {
      args.push_back(a);
    }
  }
  if (args.size() == 3 && args[0] == "encode") {
    return g729a::EncodeCommand(args[1], args[2], serial);
  }
  if (args.size() == 3 && args[0] == "decode") {
    return g729a::DecodeCommand(args[1], args[2], serial);
  }
  if (args.size() == 2 && args[0] == "conform" && !serial) {
    return g729a::ConformCommand(args[1]);
  }
  return Usage();
}

// The encode and decode commands. Each returns the process exit code (0, or 2 on bad input).
#pragma once

#include <string>
#include <vector>

#include "files.h"

namespace g729a {

int EncodeCommand(const std::string& in, const std::string& out, bool serial);
int DecodeCommand(const std::string& in, const std::string& out, bool serial);

// Packed frames from a serial bitstream; an erased frame repeats the last good frame (a
// zero frame at the start). erasedCount receives the number of erased frames.
std::vector<unsigned char> PackSerial(const std::vector<SerialFrame>& frames, int* erasedCount);

}  // namespace g729a

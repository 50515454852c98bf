// Access to the reference vectors for the codec tests.
#pragma once

#include <string>
#include <vector>

namespace codectest {

// Path of a file in the shared codec folder (tables.txt, vectors/...).
std::string SharedPath(const std::string& name);

// Whole file; false when it cannot be read.
bool ReadBytes(const std::string& path, std::vector<unsigned char>* data);

// Packed 10-byte frames from a serial bitstream without erased frames; empty when the
// bitstream is malformed.
std::vector<unsigned char> SerialToPacked(const std::vector<unsigned char>& serial);

}  // namespace codectest

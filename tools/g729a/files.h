// File helpers of the g729a tool: whole-file reads and writes, the serial bitstream format
// (per frame a sync word, a size word and one 16-bit word per bit) and 16-bit PCM.
#pragma once

#include <string>
#include <vector>

#include "voice/codec/constants.h"

namespace g729a {

// Reads a whole file; false with a message in *error when it cannot be read.
bool ReadFile(const std::string& path, std::vector<unsigned char>* data, std::string* error);
bool WriteFile(const std::string& path, const std::vector<unsigned char>& data, std::string* error);

struct SerialFrame {
    unsigned char bits[g729::kFrameBits];  // 0 or 1
    bool erased;                           // a bit word is zero: the frame was lost
};

constexpr int kSerialFrameBytes = 2 * (2 + g729::kFrameBits);  // 164

// Parses a serial bitstream; false with a message on a wrong length, sync or size word, or a
// bit word other than 0x007f, 0x0081 or 0 (the marker of a lost frame).
bool ParseSerial(const std::vector<unsigned char>& data, std::vector<SerialFrame>* frames,
                 std::string* error);
void AppendSerial(const unsigned char bits[g729::kFrameBits], std::vector<unsigned char>* out);

// Packed frames from a serial bitstream (an erased frame packs as zeros); erased receives one
// flag per frame.
std::vector<unsigned char> PackSerial(const std::vector<SerialFrame>& frames,
                                      std::vector<bool>* erased);

// Bits of a packed 10-byte frame (most significant bit of byte 0 first) and back.
void BytesToBits(const unsigned char* bytes, unsigned char bits[g729::kFrameBits]);
void BitsToBytes(const unsigned char bits[g729::kFrameBits], unsigned char* bytes);

// 16-bit little-endian samples <-> values.
std::vector<short> ToSamples(const std::vector<unsigned char>& data);
void AppendSamples(const short* samples, int n, std::vector<unsigned char>* out);

}  // namespace g729a

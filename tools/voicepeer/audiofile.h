// 8 kHz 16-bit mono speech files: raw little-endian samples or a PCM WAV file in that format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Samples in one 60 ms block: what one voice packet carries.
const int kBlockSamples = 480;

// Reads FILE (a ".wav" file is checked for 8000 Hz, one channel, 16 bits). Returns false and
// says why in error for a file that cannot be read or has another format.
bool ReadSpeech(const std::string& path, std::vector<int16_t>& samples, std::string& error);
// Writes samples as a 8 kHz 16-bit mono WAV file.
bool WriteWav(const std::string& path, const std::vector<int16_t>& samples);
// A test signal whose 60 ms blocks can be told apart: block k is a sine of 400 + 60 j Hz with
// j = 17 k mod 40, so neighbouring blocks lie far apart in frequency.
std::vector<int16_t> ToneBlocks(uint32_t blocks);

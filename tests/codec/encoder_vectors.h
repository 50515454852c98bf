// Reading the reference speech vectors (.in samples, .bit serial parameters) and measuring
// how often the encoder's parameters agree with the reference ones.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "voice/codec/constants.h"

namespace encoder_vectors {

using Params = std::array<int, g729::kParams>;

// Raw 16-bit little-endian samples; a trailing partial frame is dropped. False when the
// file cannot be read.
bool ReadSpeech(const std::string& path, std::vector<short>* samples);

// Frames of 82 16-bit words (sync, size, 80 bit words). False when the file cannot be read
// or a frame is malformed.
bool ReadSerial(const std::string& path, std::vector<Params>* frames);

// Per-parameter count of frames in which the encoder's value equals the reference.
struct Agreement {
    int frames = 0;
    std::array<int, g729::kParams> same{};
    double Share(int param) const { return frames ? double(same[param]) / frames : 0.0; }
};

// How the encoder runs over the reference: on its own, or following the reference's
// parameters (each decision compared from the reference's own state).
enum class Mode { kFree, kFollowing };

// Encodes the samples with a fresh encoder and compares frame by frame with ref (over the
// shorter of the two). When coded is given it receives the encoder's parameters.
Agreement CompareWithReference(const std::vector<short>& samples, const std::vector<Params>& ref,
                               Mode mode, std::vector<Params>* coded = nullptr);

}  // namespace encoder_vectors

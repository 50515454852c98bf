// Whole-stream coding through the library codec: blocks of six frames go through CAudioCode,
// frames after the last whole block through the same library-wide states one at a time.
#pragma once

#include <vector>

namespace g729a {

// Encodes every whole 80-sample frame of 16-bit LE PCM; returns 10 bytes per frame.
std::vector<unsigned char> EncodePcm(const std::vector<unsigned char>& pcm);

// Decodes packed 10-byte frames (size a multiple of 10) into 16-bit samples. Frames flagged in
// erased were lost: the decoder conceals them instead of reading their bytes.
std::vector<short> DecodePacked(const std::vector<unsigned char>& packed,
                                const std::vector<bool>& erased = {});

// Parameters of each packed frame.
std::vector<std::vector<int>> UnpackAll(const std::vector<unsigned char>& packed);

}  // namespace g729a

// voicepeer: the remote helper's side of a voice session for tests and the demo (see options.h).
// Files written to --out: events.log (one line per event, seconds since the accept first),
// sent.g729 (the coded block of every packet number, in number order), received.g729 (the
// payloads that arrived, in arrival order) and received.wav (them decoded).
#include "tools/voicepeer/audiofile.h"
#include "tools/voicepeer/options.h"
#include "tools/voicepeer/peer.h"
#include "voice/codec/audiocode.h"
#include "voice/wire.h"

#include <cstdio>
#include <fstream>

namespace {

bool LoadSource(const PeerOptions& options, std::vector<int16_t>& samples)
{
    if (options.tones)
        samples = ToneBlocks(options.tones);
    else if (!options.sendFile.empty()) {
        std::string error;
        if (!ReadSpeech(options.sendFile, samples, error)) {
            std::fprintf(stderr, "voicepeer: %s\n", error.c_str());
            return false;
        }
    }
    size_t limit = static_cast<size_t>(options.sendSeconds * 8000);
    if (samples.size() > limit)
        samples.resize(limit);
    return true;
}

// One coded 60-byte block per whole 480-sample block of the source.
std::vector<std::vector<unsigned char>> EncodeBlocks(const std::vector<int16_t>& samples)
{
    std::vector<std::vector<unsigned char>> blocks;
    CAudioCode codec;
    for (size_t pos = 0; pos + kBlockSamples <= samples.size(); pos += kBlockSamples) {
        std::vector<unsigned char> coded(kSpeechBytes);
        codec.Encode(&samples[pos], kBlockSamples * 2, coded.data(), nullptr);
        blocks.push_back(coded);
    }
    return blocks;
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    PeerOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "voicepeer: %s\n", error.c_str());
        return 2;
    }
    std::vector<int16_t> source;
    if (!LoadSource(options, source))
        return 2;
    std::vector<std::vector<unsigned char>> blocks = EncodeBlocks(source);
    std::vector<unsigned char> sent;
    for (const auto& block : blocks)
        sent.insert(sent.end(), block.begin(), block.end());
    WriteBytes(options.outDir + "/sent.g729", sent);

    VoicePeer peer(options, std::move(blocks));
    if (!peer.Open(error)) {
        std::fprintf(stderr, "voicepeer: %s\n", error.c_str());
        return 2;
    }
    int rc = peer.Run();
    WriteBytes(options.outDir + "/received.g729", peer.ReceivedPayloads());
    WriteWav(options.outDir + "/received.wav", peer.ReceivedAudio());
    return rc;
}

// voicepeer: the remote helper's side of a voice session for tests and the demo (voicepeer --help).
// Files written to --out: events.log (one line per event, seconds since the accept first),
// sent.g729 (the coded block of every packet number, in number order), received.g729 (the
// payloads that arrived, in arrival order) and received.wav (them decoded).
#include "tools/cli/cli.h"
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

// One coded 60-byte block per whole 480-sample block of the source, one after the other.
std::vector<unsigned char> EncodeBlocks(const std::vector<int16_t>& samples)
{
    size_t nBlocks = samples.size() / kBlockSamples;
    std::vector<unsigned char> coded(nBlocks * kSpeechBytes);
    CAudioCode codec;
    for (size_t i = 0; i < nBlocks; ++i)
        codec.Encode(&samples[i * kBlockSamples], kBlockSamples * 2, &coded[i * kSpeechBytes],
                     nullptr);
    return coded;
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    PeerOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error))
        return cli::Refuse("voicepeer", error);
    if (options.help)
        return cli::PrintUsage(kPeerUsage);
    std::vector<int16_t> source;
    if (!LoadSource(options, source))
        return 2;
    std::vector<unsigned char> coded = EncodeBlocks(source);
    WriteBytes(options.outDir + "/sent.g729", coded);

    VoicePeer peer(options, std::move(coded));
    if (!peer.Open(error)) {
        std::fprintf(stderr, "voicepeer: %s\n", error.c_str());
        return 2;
    }
    int rc = peer.Run();
    WriteBytes(options.outDir + "/received.g729", peer.ReceivedPayloads());
    WriteWav(options.outDir + "/received.wav", peer.ReceivedAudio());
    return rc;
}

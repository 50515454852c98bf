// The platform's share of the playback delay, without the voice library: reads 960-byte blocks of
// 8 kHz 16-bit mono PCM from standard input and hands each to the default wave-out device the
// moment it arrives, as the library does with a decoded packet. Finished blocks are counted back
// through an event; the program ends when the input ends and everything has played.
// A wave-out device takes a second or two to play at full speed after it opens: blocks fed in real
// time from the start would stand in its queue for the rest of the run, a wait of the feeding and
// not of the device. So the device first plays kPrimeBlocks of silence, and only once they are all
// back does the program print "ready" (the feeder starts its clock then).
// Every 16th block it prints how many blocks the device still holds ("held N"), so that a
// measurement can tell the device's own delay from blocks queued behind it.
//   bareplay < blocks.raw
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <vector>

namespace {

const DWORD kBlockBytes = 960;
const int kPrimeBlocks = 34;  // two seconds

bool ReadBlock(HANDLE input, char* block)
{
    DWORD done = 0;
    while (done < kBlockBytes) {
        DWORD got = 0;
        if (!::ReadFile(input, block + done, kBlockBytes - done, &got, nullptr) || got == 0)
            return false;
        done += got;
    }
    return true;
}

// Blocks not yet given back, and the audio written but not yet played by the device's own
// position, in ms.
void PrintHeld(HWAVEOUT device, const std::vector<WAVEHDR>& headers)
{
    unsigned held = 0;
    for (const WAVEHDR& h : headers)
        held += !(h.dwFlags & WHDR_DONE);
    MMTIME time = {};
    time.wType = TIME_SAMPLES;
    ::waveOutGetPosition(device, &time, sizeof(time));
    const unsigned written = static_cast<unsigned>(headers.size()) * kBlockBytes / 2;
    std::printf("held %u pending %d\n", held, static_cast<int>(written - time.u.sample) / 8);
    std::fflush(stdout);
}

void Write(HWAVEOUT device, std::vector<std::vector<char>>& blocks, std::vector<WAVEHDR>& headers)
{
    headers.push_back(WAVEHDR{});
    WAVEHDR& h = headers.back();
    h.lpData = blocks.back().data();
    h.dwBufferLength = kBlockBytes;
    ::waveOutPrepareHeader(device, &h, sizeof(h));
    ::waveOutWrite(device, &h, sizeof(h));
}

void WaitAllDone(HANDLE done, std::vector<WAVEHDR>& headers)
{
    for (WAVEHDR& h : headers)
        while (!(h.dwFlags & WHDR_DONE))
            ::WaitForSingleObject(done, 1000);
}

// Silence at the device's own pace (one more block as each comes back), until all are played.
void Prime(HWAVEOUT device, HANDLE done, std::vector<std::vector<char>>& blocks,
           std::vector<WAVEHDR>& headers)
{
    for (int i = 0; i < kPrimeBlocks; ++i) {
        blocks.emplace_back(kBlockBytes);
        Write(device, blocks, headers);
        if (i > 0)
            while (!(headers[i - 1].dwFlags & WHDR_DONE))
                ::WaitForSingleObject(done, 1000);
    }
    WaitAllDone(done, headers);
}

}  // namespace

int main()
{
    WAVEFORMATEX fmt = {WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
    HANDLE done = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT device = nullptr;
    if (::waveOutOpen(&device, WAVE_MAPPER, &fmt, reinterpret_cast<DWORD_PTR>(done), 0,
                      CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        std::fprintf(stderr, "bareplay: no wave-out device\n");
        return 1;
    }
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    std::vector<std::vector<char>> blocks;
    std::vector<WAVEHDR> headers;
    blocks.reserve(1 << 16);
    headers.reserve(1 << 16);  // headers stay where the device was given them
    Prime(device, done, blocks, headers);
    std::printf("ready\n");  // the feeder starts its clock here
    std::fflush(stdout);
    for (;;) {
        blocks.emplace_back(kBlockBytes);
        if (!ReadBlock(input, blocks.back().data()) || headers.size() == headers.capacity())
            break;
        Write(device, blocks, headers);
        if (headers.size() % 16 == 0)
            PrintHeld(device, headers);
    }
    WaitAllDone(done, headers);
    for (WAVEHDR& h : headers)
        ::waveOutUnprepareHeader(device, &h, sizeof(h));
    ::waveOutClose(device);
    std::printf("bareplay: %u blocks played\n", static_cast<unsigned>(headers.size()));
    return 0;
}

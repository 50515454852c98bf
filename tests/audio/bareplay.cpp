// The platform's share of the playback delay, without the voice library: reads 960-byte blocks of
// 8 kHz 16-bit mono PCM from standard input and hands each to the default wave-out device the
// moment it arrives, as the library does with a decoded packet. Finished blocks are counted back
// through an event; the program prints "ready" once the device is open and ends when the input
// ends and everything has played.
//   bareplay < blocks.raw
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <vector>

namespace {

const DWORD kBlockBytes = 960;

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
    std::printf("ready\n");  // the feeder starts its clock here
    std::fflush(stdout);
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    std::vector<std::vector<char>> blocks;
    std::vector<WAVEHDR> headers;
    blocks.reserve(1 << 16);
    headers.reserve(1 << 16);  // headers stay where the device was given them
    for (;;) {
        blocks.emplace_back(kBlockBytes);
        if (!ReadBlock(input, blocks.back().data()) || headers.size() == headers.capacity())
            break;
        headers.push_back(WAVEHDR{});
        WAVEHDR& h = headers.back();
        h.lpData = blocks.back().data();
        h.dwBufferLength = kBlockBytes;
        ::waveOutPrepareHeader(device, &h, sizeof(h));
        ::waveOutWrite(device, &h, sizeof(h));
    }
    for (WAVEHDR& h : headers)
        while (!(h.dwFlags & WHDR_DONE))
            ::WaitForSingleObject(done, 1000);
    for (WAVEHDR& h : headers)
        ::waveOutUnprepareHeader(device, &h, sizeof(h));
    ::waveOutClose(device);
    std::printf("bareplay: %u blocks played\n", static_cast<unsigned>(headers.size()));
    return 0;
}

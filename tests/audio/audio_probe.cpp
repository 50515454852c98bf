// Drives the wave devices for the end-to-end audio tests.
//   audio_probe capture N OUT.raw    records until N blocks have come (60 s at most), writes the
//                                    blocks received, prints the block count and the rate at
//                                    which they arrived
//   audio_probe play IN.raw          plays the file in 960-byte blocks without dropping any
// Every log line of the devices is printed as "log: <text>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/framework/pump.h"
#include "voice/loghook.h"
#include "voice/wavein.h"
#include "voice/waveout.h"

namespace {

void CALLBACK PrintLog(const char* pszText, int)
{
    printf("log: %s\n", pszText);
    fflush(stdout);
}

double NowMs()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * c.QuadPart / f.QuadPart;
}

class FileWaveIn : public CWaveIn {
public:
    std::vector<char> data;
    std::vector<double> times;
    int OnWaveData(short* pData, int nLength) override
    {
        times.push_back(NowMs());
        const char* p = reinterpret_cast<const char*>(pData);
        data.insert(data.end(), p, p + nLength);
        return 1;
    }
};

int Capture(int blocks, const char* path)
{
    FileWaveIn w;
    if (!w.StartCapture())
        return 2;
    double started = NowMs();
    PumpUntil([&] { return w.times.size() >= static_cast<size_t>(blocks); }, 60000);
    w.StopCapture();
    FILE* f = fopen(path, "wb");
    if (!f)
        return 3;
    fwrite(w.data.data(), 1, w.data.size(), f);
    fclose(f);
    size_t n = w.times.size();
    printf("blocks %zu\n", n);
    if (n > 0)
        printf("first_ms %.0f\n", w.times.front() - started);
    if (n > 1) {
        double span = w.times.back() - w.times.front();
        printf("span_ms %.1f\nrate %.2f\n", span, 1000.0 * (n - 1) / span);
    }
    return 0;
}

int Play(const char* path)
{
    FILE* f = fopen(path, "rb");
    if (!f)
        return 3;
    std::vector<char> data;
    char buf[4096];
    for (size_t got; (got = fread(buf, 1, sizeof buf, f)) > 0;)
        data.insert(data.end(), buf, buf + got);
    fclose(f);

    CWaveOut w;
    if (!w.StartThread() || !w.OpenDev())
        return 2;
    int blocks = 0;
    for (size_t at = 0; at < data.size(); at += 960) {
        // Stay well below the queue cap so that no block is dropped.
        PumpUntil([&] { return w.QueuedCount() < 8; }, 5000);
        int len = static_cast<int>(data.size() - at < 960 ? data.size() - at : 960);
        if (w.Play(data.data() + at, len) != 1)
            return 4;
        ++blocks;
    }
    PumpUntil([&] { return w.QueuedCount() == 0; }, 10000);
    w.CloseDev();
    w.StopThread();
    printf("played %d\n", blocks);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    SetLogInfoFuncA(PrintLog);
    if (argc == 4 && strcmp(argv[1], "capture") == 0)
        return Capture(atoi(argv[2]), argv[3]);
    if (argc == 3 && strcmp(argv[1], "play") == 0)
        return Play(argv[2]);
    fprintf(stderr, "usage: audio_probe capture BLOCKS OUT.raw | play IN.raw\n");
    return 1;
}

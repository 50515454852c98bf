// libFuzzer target: the downloader's command-line grammar on arbitrary UTF-16 text. Checks that a
// parsed line gives back values that are pieces of the line, in the keys' order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fetch/cmdline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring line;
    for (size_t i = 0; i + 1 < size; i += 2)
        line.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    DldCommandLine parsed;
    WideAtol(line);
    if (!ParseDldCommandLine(line, &parsed))
        return 0;
    const size_t url = line.find(L" /downloadurl=");
    const size_t path = line.find(L" /downloadpath=");
    if (line.compare(url + 14, parsed.url.size(), parsed.url) != 0 ||
        line.compare(path + 15, std::wstring::npos, parsed.path) != 0 ||
        url + 14 + parsed.url.size() != path)
        std::abort();
    return 0;
}

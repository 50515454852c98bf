// The downloader's check of a Content-Range answer to its range request, on arbitrary UTF-16
// text and positions: it agrees with the value's own start read as a number (so no overflow or
// cut-off digits make another start look like the position), accepts every well-formed answer
// that starts at the position, whatever follows the dash, and refuses the neighbouring starts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fetch/dldtext.h"

namespace {

// The start of "bytes <digits>-...", or -1 when the value does not have that form.
long long StartOf(const std::wstring& value)
{
    const std::wstring prefix = L"bytes ";
    if (value.compare(0, prefix.size(), prefix) != 0)
        return -1;
    size_t dash = value.find_first_not_of(L"0123456789", prefix.size());
    if (dash == prefix.size() || dash == std::wstring::npos || value[dash] != L'-')
        return -1;
    if (dash - prefix.size() > 12)
        return -2;  // more digits than any position the downloader asks for has
    return std::stoll(value.substr(prefix.size(), dash - prefix.size()));
}

void Expect(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    uint32_t position;
    std::memcpy(&position, data, 4);
    std::wstring value;
    for (size_t i = 4; i + 1 < size; i += 2)
        value.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const long long start = StartOf(value);
    Expect(ContentRangeStartsAt(value, position) == (start >= 0 && start == position));
    const std::wstring tail = value + L"/" + std::to_wstring(position);
    Expect(ContentRangeStartsAt(L"bytes " + std::to_wstring(position) + L"-" + tail, position));
    Expect(!ContentRangeStartsAt(L"bytes " + std::to_wstring(position + 1ULL) + L"-" + tail,
                                 position));
    Expect(!ContentRangeStartsAt(L"bytes " + std::to_wstring(position + (1ULL << 32)) + L"-",
                                 position));
    return 0;
}

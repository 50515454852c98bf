#include "fetch/cmdline.h"

#include <cstdint>

namespace {

const wchar_t kKeyHwnd[] = L"/hwnd=";
const wchar_t kKeyType[] = L" /downloadtype=";
const wchar_t kKeyUrl[] = L" /downloadurl=";
const wchar_t kKeyPath[] = L" /downloadpath=";

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

}  // namespace

int32_t WideAtol(const std::wstring& text)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > limit)
            value = limit;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

bool ParseDldCommandLine(const std::wstring& line, DldCommandLine* out)
{
    const size_t lenHwnd = sizeof(kKeyHwnd) / sizeof(wchar_t) - 1;
    const size_t lenType = sizeof(kKeyType) / sizeof(wchar_t) - 1;
    const size_t lenUrl = sizeof(kKeyUrl) / sizeof(wchar_t) - 1;
    const size_t lenPath = sizeof(kKeyPath) / sizeof(wchar_t) - 1;
    // Every key is searched from the start of the line; its first occurrence counts.
    const size_t posHwnd = line.find(kKeyHwnd);
    const size_t posType = line.find(kKeyType);
    const size_t posUrl = line.find(kKeyUrl);
    const size_t posPath = line.find(kKeyPath);
    if (posHwnd == std::wstring::npos || posType == std::wstring::npos ||
        posUrl == std::wstring::npos || posPath == std::wstring::npos)
        return false;
    const size_t beginHwnd = posHwnd + lenHwnd;
    const size_t beginType = posType + lenType;
    const size_t beginUrl = posUrl + lenUrl;
    const size_t beginPath = posPath + lenPath;
    if (beginHwnd > posType || beginType > posUrl || beginUrl > posPath)
        return false;
    out->hwnd = WideAtol(line.substr(beginHwnd, posType - beginHwnd));
    out->type = WideAtol(line.substr(beginType, posUrl - beginType));
    out->url = line.substr(beginUrl, posPath - beginUrl);
    out->path = line.substr(beginPath);
    return true;
}

#include "fetch/dldtext.h"

#include <cstdio>

namespace {

// Two decimals and one blank, as the dialog prints every number of the amount line.
std::wstring FormatNumber(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.2f ", value);
    return std::wstring(buffer, buffer + std::char_traits<char>::length(buffer));
}

}  // namespace

std::wstring FormatAmountLine(uint32_t bytesPresent, double speedKBps)
{
    double amount = bytesPresent / 1024.0;
    const wchar_t* unit = L"KB";
    if (amount > 1024.0) {
        amount /= 1024.0;
        unit = L"MB";
    }
    return L"已下载" + FormatNumber(amount) + unit + L"(下载速度" + FormatNumber(speedKBps) +
           L"KB/s)";
}

DldFailureText FailureTextFor(uint32_t failureCode)
{
    switch (failureCode) {
    case 1:
        return {L"传文件失败,无法初始化网络连接！", 1};
    case 2:
        return {L"传文件失败,网络无法连接！", 2};
    case 3:
        return {L"传文件失败,服务器返回数据异常！", 3};
    case 5:
        return {L"传文件失败,无法创建文件！", 4};
    case 6:
        return {L"传文件失败,无法更新文件！", 5};
    case 7:
        return {L"传文件失败,数据传输时发生网络错误！", 6};
    default:
        return {L"传文件失败!", 7};
    }
}

int ProgressPosition(uint32_t total, uint32_t present)
{
    if (total == 0)
        return -1;
    const uint32_t step = total / kProgressRange;
    const uint64_t position =
        step ? present / step : static_cast<uint64_t>(present) * kProgressRange / total;
    return static_cast<int>(position > kProgressRange ? kProgressRange : position);
}

bool BarMoveDue(int shown, int wanted, uint32_t msSinceMoved)
{
    if (wanted == shown)
        return false;
    const int step = wanted > shown ? wanted - shown : shown - wanted;
    return step >= kBarVisibleStep || msSinceMoved >= kBarFramePeriodMs || wanted == kProgressRange;
}

double SampleSpeed(uint32_t current, uint32_t lastSample, uint32_t elapsedMs)
{
    if (current < lastSample)
        return 0.0;
    const double seconds = (elapsedMs ? elapsedMs : kSamplePeriodMs) / 1000.0;
    return (current - lastSample) / 1024.0 / seconds;
}

bool SampleDue(uint32_t elapsedMs, bool fromTimer)
{
    return elapsedMs >= (fromTimer ? kSamplePeriodMs / 2 : kSamplePeriodMs);
}

bool ContentRangeStartsAt(const std::wstring& value, uint32_t position)
{
    const std::wstring prefix = L"bytes ";
    if (value.compare(0, prefix.size(), prefix) != 0)
        return false;
    size_t i = prefix.size();
    uint64_t start = 0;
    size_t digits = 0;
    for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9' && digits < 12; ++i, ++digits)
        start = start * 10 + (value[i] - L'0');
    return digits > 0 && i < value.size() && value[i] == L'-' && start == position;
}

#include "update/report_text.h"

#include "update/sha256.h"

#include <cctype>
#include <cstdio>

namespace upd {

const char* FailureText(uint32_t code)
{
    switch (code) {
    case UPD_ERR_SESSION:
        return "自动升级失败！\r失败原因：无法初始化网络连接";
    case UPD_ERR_CONNECT:
        return "自动升级失败！\r失败原因：网络无法连接";
    case UPD_ERR_STATUS:
    case UPD_ERR_LENGTH:
    case UPD_ERR_CHECKSUM:
        return "自动升级失败！\r失败原因：服务器返回数据异常";
    case UPD_ERR_TEMP_FILE:
        return "自动升级失败！\r失败原因：无法创建临时文件";
    case UPD_ERR_WRITE:
        return "自动升级失败！\r失败原因：无法更新文件";
    case UPD_ERR_TRANSFER:
        return "自动升级失败！\r失败原因：数据传输时发生网络错误";
    case UPD_ERR_TIMEOUT:
        return "自动升级失败！\r失败原因：安装超时";
    case UPD_ERR_LAUNCH:
        return "自动升级失败！\r失败原因：启动程序错误";
    case UPD_ERR_INSTALL:
        return "自动升级失败！\r失败原因：安装程序执行失败";
    default:
        return "自动升级失败！";
    }
}

std::string FormatSize(uint32_t bytes)
{
    const uint32_t kilobytes = bytes / 1024;
    char text[32];
    if (kilobytes < 1024)
        std::snprintf(text, sizeof text, "%uKB", unsigned(kilobytes));
    else
        std::snprintf(text, sizeof text, "%0.2fMB", double(kilobytes) / 1024);
    return text;
}

std::string FormatSizeLine(uint32_t total, uint32_t received)
{
    return "总文件大小:" + FormatSize(total) + " 已经下载的大小:" + FormatSize(received);
}

int ProgressPercent(uint32_t total, uint32_t received)
{
    if (total == 0)
        return 0;
    const uint64_t percent = uint64_t(received) * 100 / total;
    return percent > 100 ? 100 : int(percent);  // more bytes than announced: a full bar
}

bool InstallerSucceeded(uint32_t exitCode)
{
    return exitCode == 0 || exitCode == 3010 || exitCode == 1641;
}

// Hex digits compared without regard to case: "A" and "a" are the same digit.
static bool SameHexText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool DigestAccepted(bool computed, const std::string& actual, const std::string& expected)
{
    if (expected.empty())
        return true;
    if (!computed)
        return false;
    // The MD5 form is the client's own text, compared exactly as it always was; the SHA-256 form
    // is new, and tools print its hex digits in either case.
    return expected.size() == kSha256HexSize ? SameHexText(actual, expected) : actual == expected;
}

}  // namespace upd

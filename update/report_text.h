// What the updater shows and decides, without any Windows call: failure codes and their texts,
// the size line and bar position of the progress display, and the digest acceptance rule.
// The Chinese texts are code page 936 (GBK) bytes: report_text.cpp is compiled with
// -fexec-charset=GBK.
#pragma once
#include <cstdint>
#include <string>

namespace upd {

// Failure codes carried by WM_UPDATE_FAILED. 2..8 come from the download worker, 9..12 from the
// dialog's check and installation step.
constexpr uint32_t UPD_ERR_SESSION = 2;  // InternetOpenA failed
constexpr uint32_t UPD_ERR_CONNECT = 3;  // InternetOpenUrlA returned no handle
constexpr uint32_t UPD_ERR_STATUS = 4;   // status unreadable, or 404
constexpr uint32_t UPD_ERR_LENGTH =
    5;  // length query failed for another reason than a missing header
constexpr uint32_t UPD_ERR_TEMP_FILE = 6;  // temporary file name or file could not be made
constexpr uint32_t UPD_ERR_WRITE = 7;      // a chunk could not be written
constexpr uint32_t UPD_ERR_TRANSFER =
    8;  // a read failed, or the data ended short of or ran past the announced length
constexpr uint32_t UPD_ERR_CHECKSUM = 9;  // digest differs from the expected one
constexpr uint32_t UPD_ERR_TIMEOUT = 10;  // installer still running at the time limit
constexpr uint32_t UPD_ERR_LAUNCH = 11;   // installer could not be started
constexpr uint32_t UPD_ERR_INSTALL = 12;  // installer ended with an exit code of failure

// Result message for a failure code; "\r" separates the headline from the reason.
const char* FailureText(uint32_t code);

// "%uKB" of whole kilobytes below 1024 KB, otherwise "%0.2fMB" of the whole kilobytes / 1024.
std::string FormatSize(uint32_t bytes);

// "总文件大小:<total> 已经下载的大小:<received>" with both sizes as FormatSize gives them.
std::string FormatSizeLine(uint32_t total, uint32_t received);

// Bar position received * 100 / total for an announced total (> 0), without overflow.
int ProgressPercent(uint32_t total, uint32_t received);

// True for the installer exit codes that mean installed: 0, and 3010 and 1641 (installed, a
// restart is needed or has been started).
bool InstallerSucceeded(uint32_t exitCode);

// True when the package may be installed: no digest was expected, or one was computed and it
// equals the expected text: exactly for an MD5 digest (case-sensitive, whole string), in either
// case of hex digits for a 64-digit SHA-256 digest. With a digest expected, a
// package whose digest could not be computed is refused.
bool DigestAccepted(bool computed, const std::string& actual, const std::string& expected);

}  // namespace upd

// Size line, bar position, failure texts and the digest rule. This file is compiled with
// -fexec-charset=GBK like the program, so its Chinese literals are the same bytes.
#include <cctype>

#include <gtest/gtest.h>

#include "update/report_text.h"

namespace {

using namespace upd;

// Whole kilobytes below one megabyte, megabytes with two decimals from whole kilobytes above.
TEST(SizeText, KilobytesBelowOneMegabyteMegabytesFromWholeKilobytesAbove)
{
    const struct {
        uint32_t bytes;
        const char* text;
    } cases[] = {
        {0, "0KB"},
        {1023, "0KB"},
        {1024, "1KB"},
        {1048575, "1023KB"},
        {1048576, "1.00MB"},
        {1048576 + 1048576 / 2, "1.50MB"},
        {1048576 + 1023, "1.00MB"},  // still 1024 whole kilobytes: the spare bytes do not count
        {0xFFFFFFFFu, "4096.00MB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatSize(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(FormatSizeLine(1023 * 1024, 512 * 1024), "总文件大小:1023KB 已经下载的大小:512KB");
    EXPECT_EQ(FormatSizeLine(0xFFFFFFFFu, 1536), "总文件大小:4096.00MB 已经下载的大小:1KB");
}

TEST(ProgressBar, PercentWithoutOverflow)
{
    EXPECT_EQ(ProgressPercent(100, 0), 0);
    EXPECT_EQ(ProgressPercent(3, 1), 33);
    EXPECT_EQ(ProgressPercent(0xFFFFFFFFu, 0xFFFFFFFEu), 99);
    EXPECT_EQ(ProgressPercent(0xFFFFFFFFu, 0xFFFFFFFFu), 100);
    EXPECT_EQ(ProgressPercent(1000, 5000), 100);  // more than announced: a full bar, no more
    EXPECT_EQ(ProgressPercent(0, 5000), 0);
}

TEST(FailureText, EveryCodeHasItsReason)
{
    const char* head = "自动升级失败！\r失败原因：";
    EXPECT_EQ(std::string(FailureText(UPD_ERR_SESSION)), std::string(head) + "无法初始化网络连接");
    EXPECT_EQ(std::string(FailureText(UPD_ERR_CONNECT)), std::string(head) + "网络无法连接");
    for (uint32_t code : {UPD_ERR_STATUS, UPD_ERR_LENGTH, UPD_ERR_CHECKSUM})
        EXPECT_EQ(std::string(FailureText(code)), std::string(head) + "服务器返回数据异常") << code;
    EXPECT_EQ(std::string(FailureText(UPD_ERR_TEMP_FILE)), std::string(head) + "无法创建临时文件");
    EXPECT_EQ(std::string(FailureText(UPD_ERR_WRITE)), std::string(head) + "无法更新文件");
    EXPECT_EQ(std::string(FailureText(UPD_ERR_TRANSFER)),
              std::string(head) + "数据传输时发生网络错误");
    EXPECT_EQ(std::string(FailureText(UPD_ERR_TIMEOUT)), std::string(head) + "安装超时");
    EXPECT_EQ(std::string(FailureText(UPD_ERR_LAUNCH)), std::string(head) + "启动程序错误");
    EXPECT_EQ(std::string(FailureText(UPD_ERR_INSTALL)), std::string(head) + "安装程序执行失败");
    for (uint32_t code : {0u, 1u, 13u, 0xFFFFFFFFu})
        EXPECT_STREQ(FailureText(code), "自动升级失败！");
    // GBK bytes: "自" is D7 D4, the full-width "！" A3 A1.
    EXPECT_EQ(std::string(FailureText(0)),
              "\xD7\xD4\xB6\xAF\xC9\xFD\xBC\xB6\xCA\xA7\xB0\xDC\xA3\xA1");
}

TEST(InstallerExitCode, SuccessAndRestartCodesOnly)
{
    for (uint32_t code : {0u, 3010u, 1641u})
        EXPECT_TRUE(InstallerSucceeded(code)) << code;
    for (uint32_t code : {1u, 2u, 1602u, 1603u, 3011u, 0xC0000005u, 0xFFFFFFFFu})
        EXPECT_FALSE(InstallerSucceeded(code)) << code;
}

TEST(DigestRule, ExactMd5MatchEitherCaseSha256OrNoCheck)
{
    const std::string digest = "d41d8cd98f00b204e9800998ecf8427e";
    EXPECT_TRUE(DigestAccepted(true, digest, digest));
    EXPECT_TRUE(DigestAccepted(true, digest, ""));    // no digest expected
    EXPECT_TRUE(DigestAccepted(false, "", ""));       // nor computed: no check
    EXPECT_FALSE(DigestAccepted(false, "", digest));  // expected, none computed
    EXPECT_FALSE(DigestAccepted(true, digest, "D41D8CD98F00B204E9800998ECF8427E"));
    EXPECT_FALSE(DigestAccepted(true, digest, digest + " "));
    EXPECT_FALSE(DigestAccepted(true, digest, digest.substr(0, 31)));
    EXPECT_FALSE(DigestAccepted(true, digest, "0cc175b9c0f1b6a831c399e269772661"));
    // A SHA-256 digest may come in capitals; a different one is refused.
    const std::string sha = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    std::string upper = sha;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(DigestAccepted(true, sha, upper));
    EXPECT_FALSE(DigestAccepted(true, sha, "ca" + sha.substr(2)));
}

}  // namespace

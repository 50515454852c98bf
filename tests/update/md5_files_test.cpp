// Our MD5 of 200 random files of many sizes, read in 1024-byte blocks as the updater reads its
// package, against coreutils md5sum over the same files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "update/md5.h"

namespace {

std::string DigestOfFile(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return "unreadable";
    upd::Md5 md5;
    char block[1024];
    size_t count;
    while ((count = std::fread(block, 1, sizeof block, f)) > 0)
        md5.Append(block, count);
    std::fclose(f);
    return md5.FinishHex();
}

// Sizes: every length 0..80 (all padding cases), the block edges, then random up to 3 MB.
std::vector<size_t> FileSizes(std::mt19937& rng)
{
    std::vector<size_t> sizes;
    for (size_t n = 0; n <= 80; ++n)
        sizes.push_back(n);
    for (size_t n : {119, 120, 127, 128, 1023, 1024, 1025, 2047, 2048, 2049, 65536, 1048576})
        sizes.push_back(n);
    while (sizes.size() < 200)
        sizes.push_back(rng() % (rng() % 2 ? 4096 : 3 * 1048576));
    return sizes;
}

std::map<std::string, std::string> Md5sumOf(const std::string& dir)
{
    std::map<std::string, std::string> digests;
    FILE* p = popen(("cd '" + dir + "' && md5sum f*").c_str(), "r");
    if (!p)
        return digests;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        std::string s(line);
        const size_t blank = s.find("  ");
        if (blank != std::string::npos)
            digests[s.substr(blank + 2, s.find('\n') - blank - 2)] = s.substr(0, blank);
    }
    pclose(p);
    return digests;
}

TEST(Md5Files, AgreesWithMd5sumOn200RandomFiles)
{
    char dirTemplate[] = "/tmp/md5files.XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    std::mt19937 rng(20261207);
    const std::vector<size_t> sizes = FileSizes(rng);
    std::map<std::string, std::string> ours;
    for (size_t i = 0; i < sizes.size(); ++i) {
        std::vector<char> data(sizes[i]);
        for (auto& b : data)
            b = char(rng());
        const std::string name = "f" + std::to_string(i);
        FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        if (!data.empty())
            std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
        ours[name] = DigestOfFile(dir + "/" + name);
    }
    const auto theirs = Md5sumOf(dir);
    EXPECT_EQ(theirs.size(), 200u);
    for (const auto& [name, digest] : ours)
        EXPECT_EQ(digest, theirs.at(name)) << name;
    std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace

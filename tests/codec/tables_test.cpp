// The compiled tables hold exactly the values of the table file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "vectors.h"
#include "voice/codec/tables.h"

namespace {

std::map<std::string, std::vector<double>> ParseTables(const std::string& text)
{
    std::map<std::string, std::vector<double>> tables;
    std::istringstream in(text);
    std::string line, name;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '#') {
            std::istringstream h(line.substr(1));
            h >> name;
            continue;
        }
        std::istringstream values(line);
        std::string token;
        while (values >> token)
            tables[name].push_back(std::strtod(token.c_str(), nullptr));
    }
    return tables;
}

template <typename T>
void ExpectTable(const std::map<std::string, std::vector<double>>& file, const char* name,
                 const T* data, size_t count)
{
    auto it = file.find(name);
    ASSERT_NE(file.end(), it) << name;
    ASSERT_EQ(count, it->second.size()) << name;
    for (size_t i = 0; i < count; ++i)
        ASSERT_EQ(it->second[i], double(data[i])) << name << "[" << i << "]";
}

#define EXPECT_TABLE(file, t)                                                                    \
    ExpectTable(file, #t,                                                                        \
                reinterpret_cast<const std::remove_all_extents_t<decltype(g729::t)>*>(&g729::t), \
                sizeof(g729::t) / sizeof(std::remove_all_extents_t<decltype(g729::t)>))

TEST(Tables, MatchTheTableFile)
{
    std::vector<unsigned char> bytes;
    if (!codectest::ReadBytes(codectest::SharedPath("tables.txt"), &bytes)) {
        GTEST_SKIP() << "table file not available";
    }
    auto file = ParseTables(std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(27u, file.size());
    EXPECT_TABLE(file, hamwindow);
    EXPECT_TABLE(file, lwindow);
    EXPECT_TABLE(file, lspcb1);
    EXPECT_TABLE(file, lspcb2);
    EXPECT_TABLE(file, fg);
    EXPECT_TABLE(file, fg_sum);
    EXPECT_TABLE(file, fg_sum_inv);
    EXPECT_TABLE(file, grid);
    EXPECT_TABLE(file, inter_3l);
    EXPECT_TABLE(file, pred);
    EXPECT_TABLE(file, gbk1);
    EXPECT_TABLE(file, gbk2);
    EXPECT_TABLE(file, map1);
    EXPECT_TABLE(file, map2);
    EXPECT_TABLE(file, coef);
    EXPECT_TABLE(file, thr1);
    EXPECT_TABLE(file, thr2);
    EXPECT_TABLE(file, imap1);
    EXPECT_TABLE(file, imap2);
    EXPECT_TABLE(file, b100);
    EXPECT_TABLE(file, a100);
    EXPECT_TABLE(file, b140);
    EXPECT_TABLE(file, a140);
    EXPECT_TABLE(file, bitsno);
    EXPECT_TABLE(file, lsp_reset);
    EXPECT_TABLE(file, freq_prev_reset);
    EXPECT_TABLE(file, past_qua_en_reset);
}

}  // namespace

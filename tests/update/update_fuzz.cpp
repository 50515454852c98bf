// Fuzz target for the updater's portable core: MD5 gives the same digest however the input is
// split, the digest rule accepts exactly the equal or empty expectation, and the progress
// arithmetic stays in range for any sizes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "update/md5.h"
#include "update/report_text.h"

namespace {

std::string DigestInPieces(const uint8_t* data, size_t size, uint8_t pieceSeed)
{
    upd::Md5 md5;
    size_t piece = 1 + pieceSeed % 97;
    for (size_t at = 0; at < size; at += piece, piece = 1 + (piece * 31 + 7) % 131)
        md5.Append(data + at, size - at < piece ? size - at : piece);
    return md5.FinishHex();
}

void CheckSizes(const uint8_t* data, size_t size)
{
    if (size < 8)
        return;
    uint32_t total, received;
    std::memcpy(&total, data, 4);
    std::memcpy(&received, data + 4, 4);
    const int percent = upd::ProgressPercent(total, received);
    if (percent < 0 || percent > 100)
        std::abort();
    const std::string line = upd::FormatSizeLine(total, received);
    const std::string text = upd::FormatSize(total);
    if (text.size() < 3 ||
        (text.compare(text.size() - 2, 2, "KB") && text.compare(text.size() - 2, 2, "MB")))
        std::abort();
    if (line.find(text) == std::string::npos)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string whole = upd::Md5Hex(data, size);
    if (DigestInPieces(data, size, size ? data[0] : 0) != whole)
        std::abort();
    const std::string expected(reinterpret_cast<const char*>(data), size);
    if (upd::DigestAccepted(true, whole, expected) != (expected.empty() || expected == whole))
        std::abort();
    CheckSizes(data, size);
    return 0;
}

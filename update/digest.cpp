#include "update/digest.h"

namespace upd {

DigestKind KindOfExpectedDigest(const std::string& expected)
{
    return expected.size() == kSha256HexSize ? DigestKind::Sha256 : DigestKind::Md5;
}

void PackageDigest::Append(const void* data, size_t size)
{
    if (m_kind == DigestKind::Sha256)
        m_sha256.Append(data, size);
    else
        m_md5.Append(data, size);
}

std::string PackageDigest::FinishHex()
{
    return m_kind == DigestKind::Sha256 ? m_sha256.FinishHex() : m_md5.FinishHex();
}

}  // namespace upd

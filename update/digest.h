// The package digest the client asks for: 32 characters are an MD5 text, 64 a SHA-256 text.
// Portable: no Windows headers.
#pragma once
#include <cstddef>
#include <string>

#include "update/md5.h"
#include "update/sha256.h"

namespace upd {

enum class DigestKind { Md5, Sha256 };

// SHA-256 for an expected digest of 64 characters; MD5 for every other one, which is then
// compared as text as before (so a malformed digest never matches).
DigestKind KindOfExpectedDigest(const std::string& expected);

// Incremental digest of either kind, written as lowercase hex digits.
class PackageDigest {
public:
    explicit PackageDigest(DigestKind kind) : m_kind(kind) {}
    void Append(const void* data, size_t size);
    std::string FinishHex();

private:
    DigestKind m_kind;
    Md5 m_md5;
    Sha256 m_sha256;
};

}  // namespace upd

#include "update/filemd5.h"

#include <cstdio>

HANDLE OpenFileForMd5(const char* path)
{
    return ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
}

BOOL GetOpenFileDigest(HANDLE file, upd::DigestKind kind, std::string& hex)
{
    if (file == INVALID_HANDLE_VALUE || ::SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0)
        return FALSE;
    upd::PackageDigest digest(kind);
    char block[1024];
    DWORD count = 0;
    while (::ReadFile(file, block, sizeof block, &count, nullptr) && count > 0)
        digest.Append(block, count);
    hex = digest.FinishHex();
    return TRUE;
}

BOOL GetOpenFileMd5(HANDLE file, char digest[33])
{
    std::string hex;
    if (!GetOpenFileDigest(file, upd::DigestKind::Md5, hex))
        return FALSE;
    std::snprintf(digest, 33, "%s", hex.c_str());
    return TRUE;
}

BOOL GetFileMd5(const char* path, char digest[33])
{
    HANDLE file = OpenFileForMd5(path);
    const BOOL computed = GetOpenFileMd5(file, digest);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    return computed;
}

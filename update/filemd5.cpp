#include "update/filemd5.h"

#include "update/md5.h"

HANDLE OpenFileForMd5(const char* path)
{
    return ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
}

BOOL GetOpenFileMd5(HANDLE file, char digest[33])
{
    if (file == INVALID_HANDLE_VALUE || ::SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0)
        return FALSE;
    upd::Md5 md5;
    char block[1024];
    DWORD count = 0;
    while (::ReadFile(file, block, sizeof block, &count, nullptr) && count > 0)
        md5.Append(block, count);
    uint8_t bytes[upd::kMd5DigestSize];
    md5.Finish(bytes);
    upd::Md5ToHex(bytes, digest);
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

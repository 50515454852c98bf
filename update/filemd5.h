// Digest of a file on disk, as the package check compares it.
#pragma once
#include <windows.h>

// Opens path for its digest: read access with read sharing only, so that while the handle is
// open nobody can write, replace or delete the file. INVALID_HANDLE_VALUE when it cannot be
// opened.
HANDLE OpenFileForMd5(const char* path);

// MD5 of an open file from its first byte, as 32 lowercase hex digits plus NUL, read in
// 1024-byte blocks. FALSE (and no digest) for an invalid handle.
BOOL GetOpenFileMd5(HANDLE file, char digest[33]);

// The two above on path, closing the file again; FALSE when it cannot be opened.
BOOL GetFileMd5(const char* path, char digest[33]);

// Digest of a file on disk, as the package check compares it.
#pragma once
#include <windows.h>

// MD5 of a file as 32 lowercase hex digits plus NUL, read in 1024-byte blocks; FALSE (and no
// digest) when the file cannot be opened.
BOOL GetFileMd5(const char* path, char digest[33]);

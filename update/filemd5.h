// Digest of a file on disk, as the package check compares it.
#pragma once
#include <windows.h>

#include <string>

#include "update/digest.h"

// Opens path for its digest: read access with read sharing only, so that while the handle is
// open nobody can write, replace or delete the file. INVALID_HANDLE_VALUE when it cannot be
// opened.
HANDLE OpenFileForMd5(const char* path);

// Digest of the given kind of an open file from its first byte, as lowercase hex digits, read in
// 1024-byte blocks. FALSE (and no digest) for an invalid handle.
BOOL GetOpenFileDigest(HANDLE file, upd::DigestKind kind, std::string& hex);

// MD5 of an open file, as 32 lowercase hex digits plus NUL.
BOOL GetOpenFileMd5(HANDLE file, char digest[33]);

// GetOpenFileMd5 on path, closing the file again; FALSE when it cannot be opened.
BOOL GetFileMd5(const char* path, char digest[33]);

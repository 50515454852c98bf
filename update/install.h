// Check and silent installation of a downloaded package (runs in the dialog's thread).
#pragma once
#include <windows.h>

#include <string>

// The downloaded package, held open from its digest check until the installer has started from
// it: read access and read sharing only, so that meanwhile nobody can write, replace or delete
// it. A package that cannot be opened is not held (and has no digest).
class CHeldPackage {
public:
    explicit CHeldPackage(const char* path);
    ~CHeldPackage();
    CHeldPackage(const CHeldPackage&) = delete;
    CHeldPackage& operator=(const CHeldPackage&) = delete;

    const char* Path() const { return m_szPath; }
    // 0 when the package may be installed: no digest is expected, or its digest (SHA-256 for a
    // 64-character expected digest, MD5 otherwise) is exactly the expected text. With a digest
    // expected, a package that could not be read fails (code 9).
    DWORD Check(const std::string& expected) const;
    // Lets go of the package.
    void Release();

private:
    char m_szPath[520];
    HANDLE m_hFile;
};

// Starts the package with " /S" (as a child process; through the shell only when that start is
// refused for want of elevation), lets go of it once the process exists, and waits for the
// installer up to the time limit while answering messages sent to this thread's windows.
// 0 when it ended in time with an exit code of success (0, 3010, 1641), else the failure code
// 10 (still running), 11 (not started) or 12 (ended with another exit code).
DWORD RunInstaller(CHeldPackage& package);

// Check against g_strExpectedMd5, then RunInstaller. Returns 0 when the installer ended in
// time and succeeded, else the failure code (9 to 12).
DWORD CheckAndInstallPackage(const char* packagePath);

#include "voice/liblock.h"

CCriticalSection& LibraryLock()
{
    static CCriticalSection s_lock;
    return s_lock;
}

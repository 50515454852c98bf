// The voice library's one library-wide lock. It serialises the speech codec, the engine's
// handling of a closed control connection and the wave devices' window-class bookkeeping.
#pragma once

#include "framework/critsec.h"

// Constructed on first use (thread-safe) and destroyed when the library unloads, after every
// global constructed later. The library's load code calls it first so that the lock exists
// before the codec state and the application object.
CCriticalSection& LibraryLock();

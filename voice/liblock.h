// The voice library's one library-wide lock. It serialises the speech codec and the engine's
// handling of a closed control connection.
#pragma once

#include "framework/critsec.h"

// Constructed on first use (thread-safe) and destroyed when the library unloads, after every
// global constructed later. The library's load code calls it first so that the lock exists
// before the codec state and the application object.
CCriticalSection& LibraryLock();

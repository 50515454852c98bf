// Counts this test program's calls of Windows Sockets' name resolver (gethostbyname), which the
// framework's sockets call to turn a host name into an address: the program's import of it is
// routed through a counter that calls the real resolver.
#pragma once

namespace resolveprobe {

// Routes the import through the counter (once); false if the program does not import it.
bool Install();
long Calls();

}  // namespace resolveprobe

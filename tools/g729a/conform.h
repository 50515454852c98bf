// The conformance report over the reference vectors in a folder.
#pragma once

#include <string>

namespace g729a {

// Prints one table; returns 0 when every bar is met (or the folder is absent), 1 otherwise,
// 2 on an unreadable vector.
int ConformCommand(const std::string& dir);

}  // namespace g729a

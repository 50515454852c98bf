// The encode and decode commands. Each returns the process exit code (0, or 2 on bad input).
#pragma once

#include <string>

namespace g729a {

int EncodeCommand(const std::string& in, const std::string& out, bool serial);
int DecodeCommand(const std::string& in, const std::string& out, bool serial);

}  // namespace g729a

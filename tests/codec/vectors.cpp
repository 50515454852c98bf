#include "vectors.h"

#include "tools/g729a/files.h"

namespace codectest {

std::string SharedPath(const std::string& name)
{
    return std::string(ST_SHARED_DIR) + "/g729a/" + name;
}

bool ReadBytes(const std::string& path, std::vector<unsigned char>* data)
{
    std::string error;
    return g729a::ReadFile(path, data, &error);
}

std::vector<unsigned char> SerialToPacked(const std::vector<unsigned char>& serial)
{
    std::vector<g729a::SerialFrame> frames;
    std::string error;
    if (!g729a::ParseSerial(serial, &frames, &error))
        return {};
    std::vector<bool> erased;
    return g729a::PackSerial(frames, &erased);
}

}  // namespace codectest

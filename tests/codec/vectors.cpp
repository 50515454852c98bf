#include "vectors.h"

#include <cstdio>

namespace codectest {

std::string SharedPath(const std::string& name) { return std::string(ST_SHARED_DIR) + "/g729a/" + name; }

bool ReadBytes(const std::string& path, std::vector<unsigned char>* data) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  data->clear();
  int c;
  while ((c = std::fgetc(f)) != EOF) data->push_back(static_cast<unsigned char>(c));
  std::fclose(f);
  return true;
}

std::vector<unsigned char> SerialToPacked(const std::vector<unsigned char>& serial) {
  std::vector<unsigned char> packed;
  for (size_t off = 0; off + 164 <= serial.size(); off += 164) {
    unsigned char bytes[10] = {};
    for (int i = 0; i < 80; ++i) {
      if (serial[off + 4 + 2 * i] == 0x81) bytes[i / 8] |= static_cast<unsigned char>(0x80 >> (i % 8));
    }
    packed.insert(packed.end(), bytes, bytes + 10);
  }
  return packed;
}

}  // namespace codectest

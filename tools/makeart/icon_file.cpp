#include "tools/makeart/icon_file.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The width or height in the PNG's header (big-endian, after the signature
// and the IHDR chunk's length and name).
uint32_t HeaderSize(const std::vector<uint8_t>& png, size_t at, const std::string& path) {
  if (png.size() < 24) throw std::runtime_error(path + " is no PNG file");
  return uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 |
         png[at + 3];
}

}  // namespace

void SaveIconFile(const std::vector<std::string>& pngFiles, const std::string& path) {
  std::vector<std::vector<uint8_t>> pictures;
  for (const std::string& file : pngFiles) pictures.push_back(ReadFile(file));

  // The header, a 16-byte entry per picture, then the pictures.
  std::vector<uint8_t> out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // an icon, not a cursor
  Put16(out, uint32_t(pictures.size()));
  uint32_t offset = uint32_t(6 + 16 * pictures.size());
  for (size_t i = 0; i < pictures.size(); ++i) {
    const std::vector<uint8_t>& png = pictures[i];
    const uint32_t width = HeaderSize(png, 16, pngFiles[i]);
    const uint32_t height = HeaderSize(png, 20, pngFiles[i]);
    if (width > 256 || height > 256) throw std::runtime_error(pngFiles[i] + " is too big");
    out.push_back(uint8_t(width));  // 256 is written as 0
    out.push_back(uint8_t(height));
    out.push_back(0);  // no palette
    out.push_back(0);  // reserved
    Put16(out, 1);     // colour planes
    Put16(out, 32);    // bits per pixel
    Put32(out, uint32_t(png.size()));
    Put32(out, offset);
    offset += uint32_t(png.size());
  }
  for (const std::vector<uint8_t>& png : pictures) out.insert(out.end(), png.begin(), png.end());

  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

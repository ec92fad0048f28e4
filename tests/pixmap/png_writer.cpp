#include "tests/pixmap/png_writer.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>

namespace testpng {
namespace {

struct Sink {
  Bytes bytes;
  bool failed = false;
};

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  ADD_FAILURE() << "libpng refused to write the test picture: " << message;
  png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

bool Append(Sink& sink, const uint8_t* data, size_t length) noexcept {
  try {
    sink.bytes.insert(sink.bytes.end(), data, data + length);
    return true;
  } catch (...) {
    return false;
  }
}

void WriteData(png_structp png, png_bytep data, size_t length) {
  if (!Append(*static_cast<Sink*>(png_get_io_ptr(png)), data, length)) png_error(png, "no memory");
}
void FlushData(png_structp) {}

// Samples packed as libpng expects them: small depths from the high bit
// down, 16 bits big-endian.
Bytes PackRow(const Picture& picture, int y) {
  const int count = picture.width * Channels(picture.colorType);
  const int depth = picture.bitDepth;
  Bytes row(static_cast<size_t>((count * depth + 7) / 8));
  const uint16_t* samples = picture.samples.data() + static_cast<size_t>(y) * count;
  for (int i = 0; i < count; ++i) {
    const unsigned v = samples[i];
    if (depth == 16) {
      row[2 * i] = static_cast<uint8_t>(v >> 8);
      row[2 * i + 1] = static_cast<uint8_t>(v);
    } else if (depth == 8) {
      row[i] = static_cast<uint8_t>(v);
    } else {
      const int bit = i * depth;
      row[bit / 8] |= static_cast<uint8_t>(v << (8 - depth - bit % 8));
    }
  }
  return row;
}

// Only libpng runs between setjmp and its return: no destructor is skipped.
bool Emit(png_structp png, png_infop info, const Picture& picture, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
               static_cast<png_uint_32>(picture.height), picture.bitDepth, picture.colorType,
               picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!picture.palette.empty()) {
    png_color colors[256];
    const int entries = static_cast<int>(picture.palette.size() / 3);
    for (int i = 0; i < entries; ++i) {
      colors[i] = {picture.palette[3 * i], picture.palette[3 * i + 1], picture.palette[3 * i + 2]};
    }
    png_set_PLTE(png, info, colors, entries);
  }
  if (!picture.paletteAlpha.empty()) {
    png_set_tRNS(png, info, picture.paletteAlpha.data(),
                 static_cast<int>(picture.paletteAlpha.size()), nullptr);
  }
  if (!picture.transparent.empty()) {
    png_color_16 color{};
    color.gray = picture.transparent[0];
    if (picture.transparent.size() == 3) {
      color.red = picture.transparent[0];
      color.green = picture.transparent[1];
      color.blue = picture.transparent[2];
    }
    png_set_tRNS(png, info, nullptr, 0, &color);
  }
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

void PutBigEndian(Bytes& bytes, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t GetBigEndian(const Bytes& bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
         bytes[at + 3];
}

void AddChunk(Bytes& png, const char* type, const Bytes& data) {
  PutBigEndian(png, static_cast<uint32_t>(data.size()));
  const size_t typeAt = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  PutBigEndian(png, static_cast<uint32_t>(crc32(0, png.data() + typeAt, 4 + data.size())));
}

}  // namespace

int Channels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

void FillPattern(Picture& picture, int seed) {
  const size_t count =
      static_cast<size_t>(picture.width) * picture.height * Channels(picture.colorType);
  const uint32_t range = 1u << picture.bitDepth;
  picture.samples.resize(count);
  for (size_t i = 0; i < count; ++i) {
    // Steps through every value of small depths; a multiplicative hash for
    // the rest, so high and low bytes differ.
    const uint32_t v = range <= 16 ? static_cast<uint32_t>(i + seed)
                                   : static_cast<uint32_t>((i + seed) * 2654435761u >> 13);
    picture.samples[i] = static_cast<uint16_t>(v % range);
  }
}

Bytes WritePng(const Picture& picture) {
  std::vector<Bytes> packed;
  std::vector<png_bytep> rows;
  for (int y = 0; y < picture.height; ++y) packed.push_back(PackRow(picture, y));
  for (Bytes& row : packed) rows.push_back(row.data());

  Sink sink;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (info) {
    png_set_write_fn(png, &sink, WriteData, FlushData);
    ok = Emit(png, info, picture, rows.data());
  }
  png_destroy_write_struct(&png, info ? &info : nullptr);
  EXPECT_TRUE(ok);
  return ok ? std::move(sink.bytes) : Bytes{};
}

Bytes PngWithHeader(uint32_t width, uint32_t height, int bitDepth, int colorType,
                    const Bytes& idat) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  PutBigEndian(ihdr, width);
  PutBigEndian(ihdr, height);
  ihdr.insert(ihdr.end(),
              {static_cast<uint8_t>(bitDepth), static_cast<uint8_t>(colorType), 0, 0, 0});
  AddChunk(png, "IHDR", ihdr);
  AddChunk(png, "IDAT", idat);
  AddChunk(png, "IEND", {});
  return png;
}

Bytes WithChunk(const Bytes& png, const std::string& type, const Bytes& data,
                std::optional<uint32_t> declaredLength) {
  const size_t afterHeader = FindChunk(png, "IHDR") + 12 + 13;
  Bytes chunk;
  if (!declaredLength || *declaredLength == data.size()) {
    AddChunk(chunk, type.c_str(), data);
  } else {
    PutBigEndian(chunk, *declaredLength);
    // Byte by byte: GCC 12 at -O3 sees a false overflow in a range insert
    // from the string.
    for (const char c : type) chunk.push_back(static_cast<uint8_t>(c));
    chunk.insert(chunk.end(), data.begin(), data.end());
  }
  Bytes result = png;
  result.insert(result.begin() + static_cast<ptrdiff_t>(afterHeader), chunk.begin(), chunk.end());
  return result;
}

size_t FindChunk(const Bytes& png, const std::string& type) {
  for (size_t at = 8; at + 12 <= png.size(); at += 12 + ChunkLength(png, at)) {
    if (std::equal(type.begin(), type.end(), png.begin() + static_cast<ptrdiff_t>(at) + 4)) {
      return at;
    }
  }
  return std::string::npos;
}

uint32_t ChunkLength(const Bytes& png, size_t chunk) { return GetBigEndian(png, chunk); }

void FixCrcs(Bytes& png) {
  for (size_t at = 8; at + 12 <= png.size(); at += 12 + ChunkLength(png, at)) {
    const uint32_t length = ChunkLength(png, at);
    if (length > png.size() - at - 12) return;
    const uint32_t crc = static_cast<uint32_t>(crc32(0, png.data() + at + 4, length + 4));
    for (int i = 0; i < 4; ++i)
      png[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  }
}

}  // namespace testpng

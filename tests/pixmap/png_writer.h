#pragma once
// Makes PNG files for the tests with libpng directly, never through the code
// under test, from known sample values.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testpng {

using Bytes = std::vector<uint8_t>;

struct Picture {
  int width = 0;
  int height = 0;
  int colorType = 0;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  bool interlaced = false;
  // Row after row, each pixel's channels in PNG order (one palette index for
  // palette pictures); every sample below 2^bitDepth.
  std::vector<uint16_t> samples;
  Bytes palette;       // r, g, b per entry
  Bytes paletteAlpha;  // tRNS of a palette picture; may be shorter than the palette
  // tRNS of a grey (1 value) or RGB (3 values) picture: the transparent colour.
  std::vector<uint16_t> transparent;
};

int Channels(int colorType);
// Fills samples with a pattern that uses the whole range of the bit depth
// (and, at 16 bits, differs in the high and low bytes).
void FillPattern(Picture& picture, int seed = 0);

// The whole file; fails the current test and gives nothing when libpng refuses.
Bytes WritePng(const Picture& picture);

// Chunk-level editing, for damaged and odd files.
// Signature + IHDR (values as given, unchecked) + IDAT + IEND, correct CRCs.
Bytes PngWithHeader(uint32_t width, uint32_t height, int bitDepth, int colorType,
                    const Bytes& idat);
// The file with a chunk put right after IHDR. A declared length other than
// the data's size makes a chunk that claims more (or less) than follows it;
// such a chunk gets no CRC, the rest of the file just follows its data.
Bytes WithChunk(const Bytes& png, const std::string& type, const Bytes& data,
                std::optional<uint32_t> declaredLength = {});
// Offset of the first chunk of that type (at its length field), or npos.
size_t FindChunk(const Bytes& png, const std::string& type);
// Length of the chunk's data.
uint32_t ChunkLength(const Bytes& png, size_t chunk);
// Recomputes every chunk's CRC.
void FixCrcs(Bytes& png);

}  // namespace testpng

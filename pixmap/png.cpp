#include "pixmap/png.h"

#include <png.h>

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdint>
#include <exception>
#include <new>
#include <vector>

#include "pixmap/pixmap_loader.h"
#include "runtime/program.h"

// libpng reports errors by calling an error function that must not return; it
// long-jumps back to a recovery point. C++ exceptions must never unwind
// through libpng's C frames, and a long jump must never skip a destructor, so:
// - the functions that call setjmp (ReadHeader, ReadRows, Encode) hold nothing
//   with a destructor and only run libpng;
// - the stream callbacks catch every exception, remember what is not a stream
//   error, and then call png_error outside their try blocks;
// - the C++ objects (the pixmap, row pointers, the libpng structures' owner)
//   live in the callers, which rethrow a remembered exception after cleanup.

namespace {

// Pictures larger than this are refused before anything is allocated for them.
constexpr int MAX_SIDE = 16384;
constexpr uint64_t MAX_DECODED_BYTES = uint64_t{256} << 20;
constexpr int SIGNATURE_BYTES = 8;
// The ancillary chunks libpng would decode that a pixmap has no use for.
// libpng 1.6 reads such a chunk whole into memory, however long its header
// claims it is, and only warns when that is over its chunk limit; skipped,
// a chunk costs a small buffer. Of the ancillary chunks only tRNS (alpha)
// changes the pixels; gamma and colour chunks would only matter with
// transforms that the loader never asks for.
constexpr png_byte UNUSED_CHUNKS[] =
    "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0"
    "sBIT\0sCAL\0sPLT\0sRGB\0sTER\0tEXt\0tIME\0zTXt";
constexpr int UNUSED_CHUNK_COUNT = sizeof UNUSED_CHUNKS / 5;
// What libpng may allocate for one chunk's data, and how many chunks it may
// keep; nothing that the loader reads comes near either.
constexpr png_alloc_size_t MAX_CHUNK_BYTES = 64 * 1024;
constexpr png_uint_32 MAX_CACHED_CHUNKS = 16;
// zlib's own "default level".
constexpr int DEFAULT_COMPRESSION = -1;

// libpng's io pointer: the stream of one load or save, so that loads and
// saves share no state.
struct StreamLink {
  TStream* stream;
  // An error other than a stream error, rethrown once libpng is cleaned up.
  std::exception_ptr failure;
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// Runs a stream action for libpng: false when it fails. No exception may
// cross libpng's C frames, so a stream error is just a failure and any other
// error waits in the link until libpng is cleaned up.
template <class Action>
bool Guarded(StreamLink& link, Action&& action) noexcept {
  try {
    return action();
  } catch (const TStreamError&) {
    return false;
  } catch (...) {
    link.failure = std::current_exception();
    return false;
  }
}

// Exactly count bytes or false. The end of the stream counts as a failure
// here: libpng must never decode bytes that were not delivered.
bool ReadExactly(StreamLink& link, uint8_t* at, size_t count) noexcept {
  return Guarded(link, [&] {
    while (count > 0) {
      const int want = static_cast<int>(std::min<size_t>(count, INT_MAX));
      const int got = link.stream->Read(at, want);
      if (got <= 0 || got > want) return false;
      at += got;
      count -= static_cast<size_t>(got);
    }
    return true;
  });
}

bool WriteExactly(StreamLink& link, const uint8_t* at, size_t count) noexcept {
  return Guarded(link, [&] {
    while (count > 0) {
      const int chunk = static_cast<int>(std::min<size_t>(count, INT_MAX));
      link.stream->WriteBytes(at, chunk);
      at += chunk;
      count -= static_cast<size_t>(chunk);
    }
    return true;
  });
}

bool FlushLink(StreamLink& link) noexcept {
  return Guarded(link, [&] {
    link.stream->Flush();
    return true;
  });
}

StreamLink& LinkOf(png_structp png) { return *static_cast<StreamLink*>(png_get_io_ptr(png)); }

void ReadData(png_structp png, png_bytep data, size_t length) {
  if (!ReadExactly(LinkOf(png), data, length)) png_error(png, "read failed");
}

void WriteData(png_structp png, png_bytep data, size_t length) {
  if (!WriteExactly(LinkOf(png), data, length)) png_error(png, "write failed");
}

void FlushData(png_structp png) {
  if (!FlushLink(LinkOf(png))) png_error(png, "flush failed");
}

// Owns a read or write structure pair.
class PngStructs {
 public:
  explicit PngStructs(bool reading) : reading_(reading) {
    png_ = reading
               ? png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning)
               : png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png_) info_ = png_create_info_struct(png_);
  }
  PngStructs(const PngStructs&) = delete;
  PngStructs& operator=(const PngStructs&) = delete;
  ~PngStructs() {
    if (!png_) return;
    if (reading_) {
      png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
    } else {
      png_destroy_write_struct(&png_, info_ ? &info_ : nullptr);
    }
  }

  bool Ok() const { return png_ && info_; }
  png_structp Png() const { return png_; }
  png_infop Info() const { return info_; }

 private:
  bool reading_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// The picture as libpng will deliver it after the transforms.
struct Header {
  png_uint_32 width;
  png_uint_32 height;
  int bitDepth;
  int colorType;
  size_t rowBytes;
};

int FormatFor(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
      return PIXFMT_GRAY8;
    case PNG_COLOR_TYPE_RGB:
      return PIXFMT_RGB24;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return PIXFMT_RGBA32;
    default:
      return 0;
  }
}

bool ReadHeader(png_structp png, png_infop info, Header& header) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_sig_bytes(png, SIGNATURE_BYTES);
  png_set_user_limits(png, MAX_SIDE, MAX_SIDE);
  png_set_chunk_malloc_max(png, MAX_CHUNK_BYTES);
  png_set_chunk_cache_max(png, MAX_CACHED_CHUNKS);
  // Chunks unknown to libpng are skipped as well, whatever its default.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, UNUSED_CHUNKS, UNUSED_CHUNK_COUNT);
  png_read_info(png, info);
  // Palettes become RGB (RGBA with tRNS), small greys 8-bit grey, tRNS an
  // alpha channel, 16 bits their high byte.
  png_set_expand(png);
  png_set_strip_16(png);
  // Grey with alpha is stored as RGBA; libpng widens it while decoding.
  const int storedType = png_get_color_type(png, info);
  if (storedType == PNG_COLOR_TYPE_GRAY_ALPHA ||
      (storedType == PNG_COLOR_TYPE_GRAY && png_get_valid(png, info, PNG_INFO_tRNS))) {
    png_set_gray_to_rgb(png);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  header.width = png_get_image_width(png, info);
  header.height = png_get_image_height(png, info);
  header.bitDepth = png_get_bit_depth(png, info);
  header.colorType = png_get_color_type(png, info);
  header.rowBytes = png_get_rowbytes(png, info);
  return true;
}

bool ReadRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  // Up to IEND, so that a file cut short after its pixels is still refused.
  png_read_end(png, nullptr);
  return true;
}

// The pixmap that the header's picture decodes into, or null when it has no
// pixmap format or is too large.
Ref<TPixmap> PixmapFor(const Header& header) {
  const int format = FormatFor(header.colorType);
  if (header.bitDepth != 8 || format == 0) return nullptr;
  // libpng enforces the sides already; checked again because decoding goes
  // straight into the pixmap, whatever libpng build we link.
  if (header.width < 1 || header.height < 1 || header.width > MAX_SIDE ||
      header.height > MAX_SIDE) {
    return nullptr;
  }
  const uint64_t rowBytes = uint64_t{header.width} * BYTES_PER_PIXEL[format];
  if (header.rowBytes != rowBytes) return nullptr;
  const uint64_t pitch = (rowBytes + 3) / 4 * 4;
  if (pitch * header.height > MAX_DECODED_BYTES) return nullptr;
  try {
    return CreatePixmap(static_cast<int>(header.width), static_cast<int>(header.height), format, 4);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

Ref<TPixmap> Decode(StreamLink& link) {
  PngStructs reader(true);
  if (!reader.Ok()) return nullptr;
  png_set_read_fn(reader.Png(), &link, ReadData);
  Header header{};
  if (!ReadHeader(reader.Png(), reader.Info(), header)) return nullptr;
  Ref<TPixmap> pixmap = PixmapFor(header);
  if (!pixmap) return nullptr;
  // libpng writes straight into the pixmap's rows.
  std::vector<png_bytep> rows(header.height);
  for (png_uint_32 y = 0; y < header.height; ++y) {
    rows[y] = pixmap->PixelPtr(0, static_cast<int>(y));
  }
  if (!ReadRows(reader.Png(), rows.data())) return nullptr;
  return pixmap;
}

// How a pixmap format is written.
struct Layout {
  int colorType;
  int transforms;
};

Layout LayoutFor(int format) {
  switch (format) {
    case PIXFMT_GRAY8:
      return {PNG_COLOR_TYPE_GRAY, PNG_TRANSFORM_IDENTITY};
    case PIXFMT_RGB24:
      return {PNG_COLOR_TYPE_RGB, PNG_TRANSFORM_IDENTITY};
    case PIXFMT_BGR24:
      return {PNG_COLOR_TYPE_RGB, PNG_TRANSFORM_BGR};
    case PIXFMT_BGRA32:
      return {PNG_COLOR_TYPE_RGB_ALPHA, PNG_TRANSFORM_BGR};
    default:
      return {PNG_COLOR_TYPE_RGB_ALPHA, PNG_TRANSFORM_IDENTITY};
  }
}

bool Encode(png_structp png, png_infop info, const TPixmap& pixmap, png_bytepp rows,
            int compression) {
  if (setjmp(png_jmpbuf(png))) return false;
  const Layout layout = LayoutFor(pixmap.Format());
  png_set_compression_level(png, compression);
  png_set_IHDR(png, info, static_cast<png_uint_32>(pixmap.Width()),
               static_cast<png_uint_32>(pixmap.Height()), 8, layout.colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(png, info, rows);
  png_write_png(png, info, layout.transforms, nullptr);
  return true;
}

bool Write(StreamLink& link, const TPixmap& pixmap, int compression) {
  // Alpha alone has no PNG colour type: it is written as white with that alpha.
  Ref<TPixmap> converted;
  if (pixmap.Format() == PIXFMT_ALPHA8) converted = pixmap.Convert(PIXFMT_RGBA32);
  const TPixmap& source = converted ? *converted : pixmap;
  std::vector<png_bytep> rows(static_cast<size_t>(std::max(source.Height(), 0)));
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = source.PixelPtr(0, static_cast<int>(y));

  PngStructs writer(false);
  if (!writer.Ok()) return false;
  png_set_write_fn(writer.Png(), &link, WriteData, FlushData);
  return Encode(writer.Png(), writer.Info(), source, rows.data(), compression);
}

class TPNGPixmapLoader : public TPixmapLoader {
 public:
  Ref<TPixmap> LoadFromStream(const Ref<TStream>& stream) override { return LoadPixmapPNG(stream); }
};

}  // namespace

void StartPNG() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartPixmaps();
  static TPNGPixmapLoader loader;
}

Ref<TPixmap> LoadPixmapPNG(const Ref<TStream>& stream) {
  if (!stream) return nullptr;
  StreamLink link{stream.Get(), nullptr};
  png_byte signature[SIGNATURE_BYTES] = {};
  Ref<TPixmap> pixmap;
  // Anything but a PNG is turned away before libpng is involved.
  if (ReadExactly(link, signature, SIGNATURE_BYTES) &&
      png_sig_cmp(signature, 0, SIGNATURE_BYTES) == 0) {
    pixmap = Decode(link);
  }
  if (link.failure) std::rethrow_exception(link.failure);
  return pixmap;
}

int SavePixmapPNG(const Ref<TPixmap>& pixmap, const Url& target, int compression) {
  const TPixmap& image = *pixmap;
  Ref<TStream> stream = OpenWriteStream(target);
  if (!stream) return 0;
  StreamLink link{stream.Get(), nullptr};
  bool written = false;
  try {
    written = Write(link, image, std::clamp(compression, DEFAULT_COMPRESSION, 9));
  } catch (...) {
    stream->Close();
    throw;
  }
  stream->Close();
  if (link.failure) std::rethrow_exception(link.failure);
  return written ? 1 : 0;
}

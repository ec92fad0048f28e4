#include "pixmap/pixmap.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "runtime/program.h"
#include "runtime/runtime_error.h"
#include "stream/stream.h"

namespace {

constexpr std::align_val_t PIXEL_ALIGNMENT{16};
constexpr int MAX_STORED_SIDE = 1 << 16;
constexpr int64_t MAX_STORED_BYTES = int64_t{256} << 20;

uint8_t Channel(int argb, int shift) { return static_cast<uint8_t>(argb >> shift); }

int64_t PitchFor(int width, int format, int align) {
  align = std::max(align, 1);
  const int64_t rowBytes = static_cast<int64_t>(width) * BYTES_PER_PIXEL[format];
  return (rowBytes + align - 1) / align * align;
}

}  // namespace

class TPixmapDataType : public TDataType {
 public:
  String TypeName() const override { return TPixmap::TYPE_NAME; }
  Ref<Object> New() const override { return ::New<TPixmap>(); }

  void ReadContents(const Ref<Object>& object, TStream& stream) const override {
    TPixmap& pixmap = *Cast<TPixmap>(object);
    const int width = stream.ReadInt();
    const int height = stream.ReadInt();
    const int format = stream.ReadInt();
    if (width < 0 || height < 0 || !IsPixelFormat(format)) {
      throw RuntimeError("Invalid pixmap in data stream");
    }
    // Refused before allocating: more than is sane, or than the stream holds.
    if (!IsStorablePixmapSize(width, height, format)) throw TStreamReadError();
    const int64_t rowBytes = static_cast<int64_t>(width) * BYTES_PER_PIXEL[format];
    const int64_t bytes = rowBytes * height;
    const int position = stream.Position();
    if (position >= 0 && bytes > stream.Size() - position) throw TStreamReadError();
    pixmap.Allocate(width, height, format, 4);
    if (bytes == 0) return;
    std::memset(pixmap.pixels_, 0, static_cast<size_t>(pixmap.capacity_));
    for (int y = 0; y < height; ++y) {
      if (stream.Eof()) throw TStreamReadError();
      stream.ReadBytes(pixmap.PixelPtr(0, y), static_cast<int>(rowBytes));
    }
  }

  void WriteContents(const Ref<Object>& object, TStream& stream) const override {
    const TPixmap& pixmap = *Cast<TPixmap>(object);
    stream.WriteInt(pixmap.width_);
    stream.WriteInt(pixmap.height_);
    stream.WriteInt(pixmap.format_);
    const int rowBytes = pixmap.width_ * BYTES_PER_PIXEL[pixmap.format_];
    for (int y = 0; y < pixmap.height_; ++y) stream.WriteBytes(pixmap.PixelPtr(0, y), rowBytes);
  }
};

const char* const TPixmap::TYPE_NAME = "qel.pixmap.TPixmap";

bool IsStorablePixmapSize(int width, int height, int format) {
  return IsPixelFormat(format) && width >= 0 && height >= 0 && width <= MAX_STORED_SIDE &&
         height <= MAX_STORED_SIDE &&
         int64_t{width} * height * BYTES_PER_PIXEL[format] <= MAX_STORED_BYTES;
}

void StartPixmaps() {
  static bool started = false;
  if (!FirstStart(started)) return;
  static TPixmapDataType dataType;
}

TPixmap::~TPixmap() {
  if (capacity_ >= 0 && pixels_) ::operator delete(pixels_, PIXEL_ALIGNMENT);
}

void TPixmap::Allocate(int width, int height, int format, int align) {
  if (width < 0 || height < 0 || !IsPixelFormat(format)) {
    throw RuntimeError("Invalid pixmap size or format");
  }
  const int64_t pitch = PitchFor(width, format, align);
  const int64_t bytes = pitch * height;
  if (bytes > INT_MAX) throw RuntimeError("Pixmap too large");
  pixels_ = static_cast<uint8_t*>(
      ::operator new(static_cast<size_t>(std::max<int64_t>(bytes, 1)), PIXEL_ALIGNMENT));
  width_ = width;
  height_ = height;
  pitch_ = static_cast<int>(pitch);
  format_ = format;
  capacity_ = static_cast<int>(bytes);
}

Ref<TPixmap> TPixmap::Create(int width, int height, int format, int align) {
  auto pixmap = New<TPixmap>();
  pixmap->Allocate(width, height, format, align);
  return pixmap;
}

Ref<TPixmap> TPixmap::CreateStatic(void* pixels, int width, int height, int pitch, int format) {
  if (width < 0 || height < 0 || !IsPixelFormat(format)) {
    throw RuntimeError("Invalid pixmap size or format");
  }
  auto pixmap = New<TPixmap>();
  pixmap->pixels_ = static_cast<uint8_t*>(pixels);
  pixmap->width_ = width;
  pixmap->height_ = height;
  pixmap->pitch_ = pitch;
  pixmap->format_ = format;
  pixmap->capacity_ = -1;
  return pixmap;
}

TDataType* TPixmap::DataType() const {
  static TDataType* type = nullptr;
  if (!type) {
    StartPixmaps();
    type = FindDataType(TYPE_NAME);
  }
  return type;
}

Ref<TPixmap> TPixmap::Window(int x, int y, int width, int height) const {
  const int left = std::clamp(x, 0, width_), top = std::clamp(y, 0, height_);
  const int right = std::clamp(x + width, left, width_);
  const int bottom = std::clamp(y + height, top, height_);
  auto window = CreateStatic(PixelPtr(left, top), right - left, bottom - top, pitch_, format_);
  window->parent_ = parent_ ? parent_ : Ref<const TPixmap>(this);
  return window;
}

Ref<TPixmap> TPixmap::Copy() const {
  auto copy = Create(width_, height_, format_, 4);
  for (int y = 0; y < height_; ++y)
    CopyPixels(PixelPtr(0, y), copy->PixelPtr(0, y), format_, width_);
  return copy;
}

void TPixmap::Paste(const TPixmap& source, int x, int y) {
  const int left = std::max(x, 0), top = std::max(y, 0);
  const int right = std::min(x + source.width_, width_);
  const int bottom = std::min(y + source.height_, height_);
  for (int row = top; row < bottom; ++row) {
    ConvertPixels(source.PixelPtr(left - x, row - y), source.format_, PixelPtr(left, row), format_,
                  right - left);
  }
}

Ref<TPixmap> TPixmap::Convert(int format) const {
  auto converted = Create(width_, height_, format, 4);
  for (int y = 0; y < height_; ++y) {
    ConvertPixels(PixelPtr(0, y), format_, converted->PixelPtr(0, y), format, width_);
  }
  return converted;
}

int TPixmap::ReadPixel(int x, int y) const {
  if (!Contains(x, y)) return 0;
  const uint8_t* p = PixelPtr(x, y);
  auto argb = [](uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return static_cast<int>(a << 24 | r << 16 | g << 8 | b);
  };
  switch (format_) {
    case PIXFMT_GRAY8:
      return argb(255, p[0], p[0], p[0]);
    case PIXFMT_ALPHA8:
      return argb(p[0], 255, 255, 255);
    case PIXFMT_BGR24:
      return argb(255, p[2], p[1], p[0]);
    case PIXFMT_RGB24:
      return argb(255, p[0], p[1], p[2]);
    case PIXFMT_BGRA32:
      return argb(p[3], p[2], p[1], p[0]);
    default:
      return argb(p[3], p[0], p[1], p[2]);
  }
}

void TPixmap::WritePixel(int x, int y, int argb) {
  if (!Contains(x, y)) return;
  uint8_t* p = PixelPtr(x, y);
  const uint8_t a = Channel(argb, 24), r = Channel(argb, 16), g = Channel(argb, 8),
                b = Channel(argb, 0);
  switch (format_) {
    case PIXFMT_GRAY8:
      p[0] = static_cast<uint8_t>((r + g + b) / 3);
      break;
    case PIXFMT_ALPHA8:
      p[0] = a;
      break;
    case PIXFMT_BGR24:
      p[0] = b, p[1] = g, p[2] = r;
      break;
    case PIXFMT_RGB24:
      p[0] = r, p[1] = g, p[2] = b;
      break;
    case PIXFMT_BGRA32:
      p[0] = b, p[1] = g, p[2] = r, p[3] = a;
      break;
    default:
      p[0] = r, p[1] = g, p[2] = b, p[3] = a;
      break;
  }
}

Ref<TPixmap> CreatePixmap(int width, int height, int format, int align) {
  return TPixmap::Create(width, height, format, align);
}
Ref<TPixmap> CreateStaticPixmap(void* pixels, int width, int height, int pitch, int format) {
  return TPixmap::CreateStatic(pixels, width, height, pitch, format);
}
Ref<TPixmap> CopyPixmap(const Ref<TPixmap>& pixmap) { return pixmap->Copy(); }
Ref<TPixmap> ConvertPixmap(const Ref<TPixmap>& pixmap, int format) {
  return pixmap->Convert(format);
}
int PixmapWidth(const Ref<TPixmap>& pixmap) { return pixmap->Width(); }
int PixmapHeight(const Ref<TPixmap>& pixmap) { return pixmap->Height(); }
int PixmapPitch(const Ref<TPixmap>& pixmap) { return pixmap->Pitch(); }
int PixmapFormat(const Ref<TPixmap>& pixmap) { return pixmap->Format(); }
uint8_t* PixmapPixelPtr(const Ref<TPixmap>& pixmap, int x, int y) { return pixmap->PixelPtr(x, y); }
Ref<TPixmap> PixmapWindow(const Ref<TPixmap>& pixmap, int x, int y, int width, int height) {
  return pixmap->Window(x, y, width, height);
}
int ReadPixel(const Ref<TPixmap>& pixmap, int x, int y) { return pixmap->ReadPixel(x, y); }
void WritePixel(const Ref<TPixmap>& pixmap, int x, int y, int argb) {
  pixmap->WritePixel(x, y, argb);
}

#include "graphics/draw2d/image.h"

#include <cmath>

#include "graphics/display/graphics.h"
#include "graphics/draw2d/draw_display.h"
#include "graphics/draw2d/draw_state.h"
#include "pixmap/pixmap_loader.h"
#include "pixmap/pixmap_transform.h"
#include "runtime/runtime_error.h"
#include "stream/stream.h"

using detail::DrawDriver;
using detail::DrawState;

namespace {

struct LoadDefaults {
  int maskR = 0, maskG = 0, maskB = 0;
  int autoCenter = 0;
  int flags = 0;
} defaults;

// Big enough for any real image, small enough that a corrupt count in a
// stream cannot ask for an absurd allocation.
constexpr int MAX_FRAMES = 1 << 20;

Ref<TPixmap> SourcePixmap(const Url& source) {
  if (Ref<TPixmap> pixmap = Cast<TPixmap>(source.AsObject())) return pixmap;
  return LoadPixmap(source);
}

int FlagsOrDefault(int flags) { return flags == -1 ? defaults.flags : flags; }

Ref<TImage> CenteredIfAutomatic(Ref<TImage> image) {
  if (image && defaults.autoCenter) CenterImageAnchor(image);
  return image;
}

// Every frame of an image is a pixmap of the image's size.
bool IsFrameOf(const Ref<TPixmap>& pixmap, const TImage& image) {
  return pixmap && IsPixelFormat(pixmap->Format()) && pixmap->Width() == image.width &&
         pixmap->Height() == image.height;
}

class TImageDataType : public TDataType {
 public:
  String TypeName() const override { return TImage::TYPE_NAME; }
  Ref<Object> New() const override { return ::New<TImage>(); }

  void ReadContents(const Ref<Object>& object, TStream& stream) const override {
    TImage& image = *Cast<TImage>(object);
    image.width = stream.ReadInt();
    image.height = stream.ReadInt();
    image.flags = stream.ReadInt();
    image.maskR = stream.ReadInt();
    image.maskG = stream.ReadInt();
    image.maskB = stream.ReadInt();
    image.handleX = stream.ReadFloat();
    image.handleY = stream.ReadFloat();
    const int count = stream.ReadInt();
    // Every frame takes at least one byte of the stream. A frame stored
    // empty is made at the image's size when it is first locked, so the
    // size of an image with frames is held to what a stored pixmap may be.
    const int position = stream.Position();
    if (image.width < 0 || image.height < 0 || count < 0 || count > MAX_FRAMES ||
        (position >= 0 && count > stream.Size() - position) ||
        (count > 0 && !IsStorablePixmapSize(image.width, image.height, PIXFMT_RGBA32))) {
      throw RuntimeError("Invalid image in data stream");
    }
    image.pixmaps.assign(static_cast<size_t>(count), nullptr);
    image.frames.assign(static_cast<size_t>(count), nullptr);
    image.sequences.assign(static_cast<size_t>(count), 0);
    for (auto& pixmap : image.pixmaps) {
      const Ref<Object> frame = stream.ReadObject();
      pixmap = Cast<TPixmap>(frame);
      if (frame && !IsFrameOf(pixmap, image)) {
        throw RuntimeError("Invalid image frame in data stream");
      }
    }
  }

  void WriteContents(const Ref<Object>& object, TStream& stream) const override {
    const TImage& image = *Cast<TImage>(object);
    stream.WriteInt(image.width);
    stream.WriteInt(image.height);
    stream.WriteInt(image.flags);
    stream.WriteInt(image.maskR);
    stream.WriteInt(image.maskG);
    stream.WriteInt(image.maskB);
    stream.WriteFloat(image.handleX);
    stream.WriteFloat(image.handleY);
    stream.WriteInt(image.FrameCount());
    // A frame without a pixmap is written as the null object, so that the
    // reader finds one object per frame.
    for (const auto& pixmap : image.pixmaps) stream.WriteObject(pixmap);
  }
};

}  // namespace

const char* const TImage::TYPE_NAME = "qel.flat2d.TImage";

namespace detail {

void StartImageDataType() { static TImageDataType dataType; }

}  // namespace detail

TDataType* TImage::DataType() const {
  static TDataType* type = nullptr;
  if (!type) {
    StartDraw2D();
    type = FindDataType(TYPE_NAME);
  }
  return type;
}

void TImage::Resize(int frameCount) {
  if (frameCount < 0 || frameCount > MAX_FRAMES) throw RuntimeError("Invalid image frame count");
  pixmaps.assign(static_cast<size_t>(frameCount), nullptr);
  frames.assign(static_cast<size_t>(frameCount), nullptr);
  sequences.assign(static_cast<size_t>(frameCount), 0);
}

void TImage::DropFrame(int index) {
  if (index < 0 || index >= FrameCount()) throw RuntimeError("Image frame index out of range");
  sequences[static_cast<size_t>(index)] = 0;
  frames[static_cast<size_t>(index)] = nullptr;
}

Ref<TImageFrame> TImage::Frame(int index) {
  if (index < 0 || index >= FrameCount()) throw RuntimeError("Image frame index out of range");
  const size_t i = static_cast<size_t>(index);
  const int sequence = DisplaySequence();
  // A sequence of 0 (no display opened yet) still needs a frame made once.
  if (frames[i] && sequences[i] == sequence) return frames[i];
  MakeFrames(index, sequence);
  return frames[i];
}

void TImage::MakeFrames(int index, int sequence) {
  // The other frames that have pixels and want making come along, so that
  // the driver may let them share a texture; a frame never given pixels is
  // made when it is drawn.
  std::vector<size_t> wanted;
  std::vector<Ref<TPixmap>> sources;
  for (size_t i = 0; i < frames.size(); i++) {
    if (frames[i] && sequences[i] == sequence) continue;
    if (!pixmaps[i] && i != static_cast<size_t>(index)) continue;
    wanted.push_back(i);
    sources.push_back(Lock(static_cast<int>(i), 1, 0));
  }
  const std::vector<Ref<TImageFrame>> made = DrawDriver().MakeFrames(sources, flags);
  for (size_t k = 0; k < wanted.size(); k++) {
    frames[wanted[k]] = made[k];
    sequences[wanted[k]] = sequence;
  }
}

Ref<TPixmap> TImage::Lock(int index, int /*read*/, int write) {
  if (write) DropFrame(index);
  if (index < 0 || index >= FrameCount()) throw RuntimeError("Image frame index out of range");
  Ref<TPixmap>& pixmap = pixmaps[static_cast<size_t>(index)];
  if (!pixmap) pixmap = CreatePixmap(width, height, PIXFMT_RGBA32, 4);
  return pixmap;
}

void TImage::SetPixmap(int index, const Ref<TPixmap>& pixmap) {
  DropFrame(index);
  Ref<TPixmap> stored = pixmap;
  if (pixmap && (flags & IMG_MASKED) && ALPHA_BITS[pixmap->Format()] == 0) {
    stored = MaskPixmap(pixmap, maskR, maskG, maskB);
  }
  pixmaps[static_cast<size_t>(index)] = stored;
}

Ref<TImage> TImage::Create(int width, int height, int frameCount, int flags, int maskR, int maskG,
                           int maskB) {
  if (width < 0 || height < 0) throw RuntimeError("Invalid image size");
  Ref<TImage> image = New<TImage>();
  image->width = width;
  image->height = height;
  image->flags = flags;
  image->maskR = maskR;
  image->maskG = maskG;
  image->maskB = maskB;
  image->Resize(frameCount);
  return image;
}

Ref<TImage> TImage::Load(const Url& source, int flags, int maskR, int maskG, int maskB) {
  const Ref<TPixmap> pixmap = SourcePixmap(source);
  if (!pixmap) return nullptr;
  Ref<TImage> image = Create(pixmap->Width(), pixmap->Height(), 1, flags, maskR, maskG, maskB);
  image->SetPixmap(0, pixmap);
  return image;
}

Ref<TImage> TImage::LoadStrip(const Url& source, int cellWidth, int cellHeight, int firstCell,
                              int cellCount, int flags, int maskR, int maskG, int maskB) {
  if (cellWidth < 1 || cellHeight < 1 || firstCell < 0 || cellCount < 0) return nullptr;
  const Ref<TPixmap> pixmap = SourcePixmap(source);
  if (!pixmap) return nullptr;
  const int across = pixmap->Width() / cellWidth;
  const int64_t cells = static_cast<int64_t>(across) * (pixmap->Height() / cellHeight);
  if (cells < static_cast<int64_t>(firstCell) + cellCount) return nullptr;
  Ref<TImage> image = Create(cellWidth, cellHeight, cellCount, flags, maskR, maskG, maskB);
  for (int i = firstCell; i < firstCell + cellCount; i++) {
    const Ref<TPixmap> cell =
        pixmap->Window(cellWidth * (i % across), cellHeight * (i / across), cellWidth, cellHeight);
    image->SetPixmap(i - firstCell, cell->Copy());
  }
  return image;
}

Ref<TImage> LoadImageFrom(const Url& source, int flags) {
  return CenteredIfAutomatic(
      TImage::Load(source, FlagsOrDefault(flags), defaults.maskR, defaults.maskG, defaults.maskB));
}

Ref<TImage> LoadImageStrip(const Url& source, int cellWidth, int cellHeight, int firstCell,
                           int cellCount, int flags) {
  return CenteredIfAutomatic(TImage::LoadStrip(source, cellWidth, cellHeight, firstCell, cellCount,
                                               FlagsOrDefault(flags), defaults.maskR,
                                               defaults.maskG, defaults.maskB));
}

Ref<TImage> NewImage(int width, int height, int frameCount, int flags) {
  return CenteredIfAutomatic(TImage::Create(width, height, frameCount,
                                            FlagsOrDefault(flags) | IMG_DYNAMIC, defaults.maskR,
                                            defaults.maskG, defaults.maskB));
}

void SetImageAnchor(const Ref<TImage>& image, float x, float y) {
  image->handleX = x;
  image->handleY = y;
}

void CenterImageAnchor(const Ref<TImage>& image) {
  image->handleX = static_cast<float>(image->width) * 0.5f;
  image->handleY = static_cast<float>(image->height) * 0.5f;
}

int GetImageWidth(const Ref<TImage>& image) { return image->width; }
int GetImageHeight(const Ref<TImage>& image) { return image->height; }

Ref<TPixmap> LockImageFrame(const Ref<TImage>& image, int index, int read, int write) {
  return image->Lock(index, read, write);
}

void UnlockImageFrame(const Ref<TImage>&, int) {}

void GrabImageFrame(const Ref<TImage>& image, int x, int y, int index) {
  DrawState();
  Ref<TPixmap> pixmap = DrawDriver().ReadPixmap(x, y, image->width, image->height);
  // The layer's mask colour, not the image's: what is on screen now.
  if (image->flags & IMG_MASKED) {
    pixmap = MaskPixmap(pixmap, defaults.maskR, defaults.maskG, defaults.maskB);
  }
  image->SetPixmap(index, pixmap);
}

void DrawImageFrameScaled(const Ref<TImage>& image, float x, float y, float width, float height,
                          int index) {
  const TDrawDisplay& s = DrawState();
  const float hx = image->handleX, hy = image->handleY;
  image->Frame(index)->Render(-hx, -hy, width - hx, height - hy, x + s.originX, y + s.originY);
}

void DrawImageFrame(const Ref<TImage>& image, float x, float y, int index) {
  DrawImageFrameScaled(image, x, y, static_cast<float>(image->width),
                       static_cast<float>(image->height), index);
}

namespace {

// The first tile position at or left of (above) the clip edge, up to size - 1
// pixels before it, on the grid through position.
int FirstTile(float position, int clipStart, int size) {
  const int base = clipStart - size + 1;
  const int distance = static_cast<int>(std::floor(position) - static_cast<float>(base));
  int offset = distance % size;
  if (offset < 0) offset += size;
  return base + offset;
}

}  // namespace

void TileImageFrame(const Ref<TImage>& image, float x, float y, int index) {
  const TDrawDisplay& s = DrawState();
  const int w = image->width, h = image->height;
  if (w < 1 || h < 1) return;
  const Ref<TImageFrame> frame = image->Frame(index);
  const float fx = x + s.originX - image->handleX, fy = y + s.originY - image->handleY;
  const float fracX = fx - std::floor(fx), fracY = fy - std::floor(fy);
  const int startX = FirstTile(fx, s.clipX, w), startY = FirstTile(fy, s.clipY, h);
  const int64_t endX = static_cast<int64_t>(s.clipX) + s.clipWidth;
  const int64_t endY = static_cast<int64_t>(s.clipY) + s.clipHeight;
  DrawDriver().ApplyMatrix(1, 0, 0, 1);
  for (int64_t ty = startY; ty < endY; ty += h) {
    for (int64_t tx = startX; tx < endX; tx += w) {
      frame->Render(0, 0, static_cast<float>(w), static_cast<float>(h),
                    static_cast<float>(tx) + fracX, static_cast<float>(ty) + fracY);
    }
  }
  UpdateDrawMatrix();
}

void SetLoadMaskColor(int r, int g, int b) {
  defaults.maskR = r;
  defaults.maskG = g;
  defaults.maskB = b;
}

void GetLoadMaskColor(int& r, int& g, int& b) {
  r = defaults.maskR;
  g = defaults.maskG;
  b = defaults.maskB;
}

void SetAutoCenterAnchor(int enable) { defaults.autoCenter = enable; }
int GetAutoCenterAnchor() { return defaults.autoCenter; }

void SetDefaultImageFlags(int flags) {
  if (flags != -1) defaults.flags = flags;
}

int GetDefaultImageFlags() { return defaults.flags; }

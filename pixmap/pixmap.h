#pragma once
// Pixmaps: rectangles of pixels in memory in one of the pixel formats.
//
// Pixel (x, y) is at pixels + y * pitch + x * bytes per pixel. A pixmap made by
// Create owns its memory; one made by CreateStatic (or a window onto another
// pixmap) borrows it and is valid only while that memory lives. Size and
// format never change: conversions, copies, masks, mirrors and resizes make
// new pixmaps; Paste and WritePixel change a pixmap in place. Coordinates
// must lie inside the pixmap; a paste must fit.

#include <cstdint>

#include "pixmap/pixel_format.h"
#include "runtime/serializable.h"

class TPixmap : public TSerializable {
 public:
  static const char* const TYPE_NAME;  // "qel.pixmap.TPixmap"

  TPixmap() = default;
  TPixmap(const TPixmap&) = delete;
  TPixmap& operator=(const TPixmap&) = delete;
  ~TPixmap() override;

  // Rows start on multiples of align bytes; the pixels are not cleared.
  // Raises a run-time error for a size that does not fit in memory limits or
  // a format outside 1..6.
  static Ref<TPixmap> Create(int width, int height, int format, int align = 4);
  static Ref<TPixmap> CreateStatic(void* pixels, int width, int height, int pitch, int format);

  TDataType* DataType() const override;

  uint8_t* PixelPtr(int x, int y) const {
    return pixels_ + static_cast<ptrdiff_t>(y) * pitch_ + x * BYTES_PER_PIXEL[format_];
  }
  // A pixmap over part of this one's memory (clipped to it). It keeps this
  // pixmap alive, so it never outlives the memory it shows.
  Ref<TPixmap> Window(int x, int y, int width, int height) const;
  Ref<TPixmap> Copy() const;
  // Converts source into this pixmap with its top left at (x, y); what falls
  // outside this pixmap is left out.
  void Paste(const TPixmap& source, int x, int y);
  Ref<TPixmap> Convert(int format) const;
  // 0xAARRGGBB. Outside the pixmap a read gives 0 and a write does nothing.
  int ReadPixel(int x, int y) const;
  void WritePixel(int x, int y, int argb);

  uint8_t* Pixels() const { return pixels_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Pitch() const { return pitch_; }
  int Format() const { return format_; }
  // Bytes owned; -1 when the memory belongs to someone else.
  int Capacity() const { return capacity_; }

 private:
  friend class TPixmapDataType;

  // Gives the pixmap memory of its own for the size and format.
  void Allocate(int width, int height, int format, int align);
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  uint8_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int pitch_ = 0;
  int format_ = 0;
  int capacity_ = 0;
  // The pixmap whose memory a window shows.
  Ref<const TPixmap> parent_;
};

// Whether a serialised pixmap of this size and format is read: at most 65536
// pixels a side (rows without bytes still cost every operation a step each)
// and 256 MiB of pixels. Larger ones are refused before anything is
// allocated for them.
bool IsStorablePixmapSize(int width, int height, int format);

// Makes the format tables' users and the pixmap data type ready.
void StartPixmaps();

Ref<TPixmap> CreatePixmap(int width, int height, int format, int align = 4);
Ref<TPixmap> CreateStaticPixmap(void* pixels, int width, int height, int pitch, int format);
Ref<TPixmap> CopyPixmap(const Ref<TPixmap>& pixmap);
Ref<TPixmap> ConvertPixmap(const Ref<TPixmap>& pixmap, int format);
int PixmapWidth(const Ref<TPixmap>& pixmap);
int PixmapHeight(const Ref<TPixmap>& pixmap);
int PixmapPitch(const Ref<TPixmap>& pixmap);
int PixmapFormat(const Ref<TPixmap>& pixmap);
uint8_t* PixmapPixelPtr(const Ref<TPixmap>& pixmap, int x, int y);
Ref<TPixmap> PixmapWindow(const Ref<TPixmap>& pixmap, int x, int y, int width, int height);
int ReadPixel(const Ref<TPixmap>& pixmap, int x, int y);
void WritePixel(const Ref<TPixmap>& pixmap, int x, int y, int argb);

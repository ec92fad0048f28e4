#pragma once
// Images: equally sized frames, each a pixmap and, once drawn, a frame of the
// 2D driver that was current then. Driver frames are made lazily and made
// again after the display changes (DisplaySequence).

#include <vector>

#include "graphics/draw2d/draw_driver.h"
#include "stream/stream_factory.h"

enum : int {
  IMG_MASKED = 1,     // the mask colour becomes transparent in pixmaps without alpha
  IMG_FILTERED = 2,   // magnified with linear filtering
  IMG_MIPMAPPED = 4,  // minified through mipmaps
  IMG_DYNAMIC = 8,    // made with NewImage
};

class TImage : public TSerializable {
 public:
  static const char* const TYPE_NAME;  // "qel.flat2d.TImage"

  TDataType* DataType() const override;
  // The driver frame for the current display, made when missing or stale.
  Ref<TImageFrame> Frame(int index);
  // The frame's pixmap, made (RGBA, contents undefined) when missing; write
  // not 0 drops the driver frame so the next draw makes it again.
  Ref<TPixmap> Lock(int index, int read, int write);
  // Masks a pixmap without alpha when the image is masked; drops the driver
  // frame.
  void SetPixmap(int index, const Ref<TPixmap>& pixmap);

  static Ref<TImage> Create(int width, int height, int frameCount, int flags, int maskR, int maskG,
                            int maskB);
  // source: a url, a stream or a TPixmap (kept, not copied). Null when it
  // does not load.
  static Ref<TImage> Load(const Url& source, int flags, int maskR, int maskG, int maskB);
  // Cells of a grid, left to right and top to bottom; null when it does not
  // load or the grid has fewer than firstCell + cellCount cells.
  static Ref<TImage> LoadStrip(const Url& source, int cellWidth, int cellHeight, int firstCell,
                               int cellCount, int flags, int maskR, int maskG, int maskB);

  int FrameCount() const { return static_cast<int>(pixmaps.size()); }

  int width = 0, height = 0;
  int flags = 0;
  int maskR = 0, maskG = 0, maskB = 0;
  float handleX = 0, handleY = 0;  // from the frame's top-left, not negated
  std::vector<Ref<TPixmap>> pixmaps;
  std::vector<Ref<TImageFrame>> frames;
  std::vector<int> sequences;  // DisplaySequence a frame was made at; 0 none

 private:
  void Resize(int frameCount);
  void DropFrame(int index);
  // The driver frames of index and of every other frame that wants one,
  // made together for the display of sequence.
  void MakeFrames(int index, int sequence);
};

// Front end. A flags argument of -1 stands for the default image flags.
Ref<TImage> LoadImageFrom(const Url& source, int flags);
Ref<TImage> LoadImageStrip(const Url& source, int cellWidth, int cellHeight, int firstCell,
                           int cellCount, int flags);
// Gets IMG_DYNAMIC as well.
Ref<TImage> NewImage(int width, int height, int frameCount, int flags);
void SetImageAnchor(const Ref<TImage>& image, float x, float y);
void CenterImageAnchor(const Ref<TImage>& image);
int GetImageWidth(const Ref<TImage>& image);
int GetImageHeight(const Ref<TImage>& image);
Ref<TPixmap> LockImageFrame(const Ref<TImage>& image, int index, int read, int write);
void UnlockImageFrame(const Ref<TImage>& image, int index);
// The back buffer's area at (x, y) of the image's size becomes frame index.
void GrabImageFrame(const Ref<TImage>& image, int x, int y, int index);
// The image's anchor at (x, y) plus the origin; the drawing handle does not
// apply, the matrix does.
void DrawImageFrame(const Ref<TImage>& image, float x, float y, int index);
void DrawImageFrameScaled(const Ref<TImage>& image, float x, float y, float width, float height,
                          int index);
// Fills the clip rectangle with unrotated, unscaled copies aligned with where
// DrawImageFrame would put the image at (x, y).
void TileImageFrame(const Ref<TImage>& image, float x, float y, int index);

// Image-loading defaults, reset when a 2D display is first selected.
void SetLoadMaskColor(int r, int g, int b);
void GetLoadMaskColor(int& r, int& g, int& b);
void SetAutoCenterAnchor(int enable);
int GetAutoCenterAnchor();
// -1 leaves them as they are.
void SetDefaultImageFlags(int flags);
int GetDefaultImageFlags();

namespace detail {
void StartImageDataType();
}

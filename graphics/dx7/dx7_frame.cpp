#include "graphics/dx7/dx7_frame.h"

#include <algorithm>
#include <cstring>

#include "graphics/display/graphics.h"
#include "graphics/draw2d/image.h"
#include "runtime/runtime_error.h"

namespace {

int PowerOfTwoAtLeast(int n) {
  int p = 1;
  while (p < n && p < (1 << 30)) p *= 2;
  return p;
}

// A locked mipmap level, read and written with coordinates clamped to it.
struct Level {
  IDirectDrawSurface7* surface;
  DDSURFACEDESC2 desc{};

  explicit Level(IDirectDrawSurface7* surface) : surface(surface) {
    desc.dwSize = sizeof desc;
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) {
      throw RuntimeError("BuildMipMaps: lock failed");
    }
  }
  ~Level() { surface->Unlock(nullptr); }
  Level(const Level&) = delete;
  Level& operator=(const Level&) = delete;

  int Width() const { return static_cast<int>(desc.dwWidth); }
  int Height() const { return static_cast<int>(desc.dwHeight); }
  uint32_t& At(int x, int y) {
    x = std::min(x, Width() - 1);
    y = std::min(y, Height() - 1);
    return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(desc.lpSurface) +
                                       static_cast<ptrdiff_t>(y) * desc.lPitch)[x];
  }
};

IDirectDrawSurface7* NextLevel(IDirectDrawSurface7* surface) {
  DDSCAPS2 caps{};
  caps.dwCaps = DDSCAPS_TEXTURE;
  caps.dwCaps2 = DDSCAPS2_MIPMAPSUBLEVEL;
  IDirectDrawSurface7* next = nullptr;
  if (FAILED(surface->GetAttachedSurface(&caps, &next))) return nullptr;
  return next;
}

}  // namespace

TDX7ImageFrame::TDX7ImageFrame(Ref<TDX7DrawDriver> driver, int width, int height, int flags)
    : driver(std::move(driver)),
      width(width),
      height(height),
      flags(flags),
      sequence(DisplaySequence()) {}

TDX7ImageFrame::~TDX7ImageFrame() {
  // A device closed since has nothing bound any more.
  if (driver->frame == this) {
    if (sequence == DisplaySequence()) {
      // Its quads still waiting are drawn while the texture is there.
      driver->SelectFrame(nullptr);
    } else {
      driver->frame = nullptr;
      driver->batch.clear();
    }
  }
  // Textures belong to DirectDraw, which lives as long as the program: a
  // frame of a display closed since still gives its texture back.
  if (surface) surface->Release();
}

void TDX7ImageFrame::Render(float x0, float y0, float x1, float y1, float tx, float ty) {
  driver->RenderFrameQuad(*this, x0, y0, x1, y1, tx, ty);
}

Ref<TDX7ImageFrame> TDX7ImageFrame::Create(const Ref<TDX7DrawDriver>& driver, int width, int height,
                                           int flags) {
  const Ref<TDX7ImageFrame> made = New<TDX7ImageFrame>(driver, width, height, flags);
  made->textureWidth = PowerOfTwoAtLeast(width);
  made->textureHeight = PowerOfTwoAtLeast(height);
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
  desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
  if (flags & IMG_MIPMAPPED) desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
  desc.dwWidth = static_cast<DWORD>(made->textureWidth);
  desc.dwHeight = static_cast<DWORD>(made->textureHeight);
  desc.ddpfPixelFormat = Bgra32PixelFormat();
  if (FAILED(
          DX7DisplayDriver()->context->directDraw->CreateSurface(&desc, &made->surface, nullptr))) {
    made->surface = nullptr;
    throw RuntimeError("Create DX7 surface Failed");
  }
  made->SetTexCoords(0, 0, static_cast<float>(width) / static_cast<float>(made->textureWidth),
                     static_cast<float>(height) / static_cast<float>(made->textureHeight));
  return made;
}

void TDX7ImageFrame::SetTexCoords(float u0, float v0, float u1, float v1) {
  const float corners[4][2] = {{u0, v0}, {u1, v0}, {u0, v1}, {u1, v1}};
  for (int i = 0; i < 4; i++) {
    vertices[i].u = corners[i][0];
    vertices[i].v = corners[i][1];
  }
}

Ref<TPixmap> TDX7ImageFrame::LockFrame(bool read, bool write) {
  lockDesc = DDSURFACEDESC2{};
  lockDesc.dwSize = sizeof lockDesc;
  DWORD lockFlags = DDLOCK_WAIT;
  if (read && !write) lockFlags |= DDLOCK_READONLY;
  if (write && !read) lockFlags |= DDLOCK_WRITEONLY;
  if (FAILED(surface->Lock(nullptr, &lockDesc, lockFlags, nullptr))) {
    throw RuntimeError("DD3D7ImageFrame Lock failed");
  }
  return CreateStaticPixmap(lockDesc.lpSurface, textureWidth, textureHeight, lockDesc.lPitch,
                            PIXFMT_BGRA32);
}

void TDX7ImageFrame::UnlockFrame() {
  PadEdges();
  surface->Unlock(nullptr);
  if (flags & IMG_MIPMAPPED) BuildMipMaps();
}

uint32_t TDX7ImageFrame::MixPixels(uint32_t a, uint32_t b) {
  // Halves without carries between the bytes, and the lost low bits rounding
  // up: two equal pixels mix to themselves.
  const uint32_t s = ((a >> 1) & 0x7F7F7F7F) + ((b >> 1) & 0x7F7F7F7F);
  return s + ((a | b) & 0x01010101);
}

void TDX7ImageFrame::PadEdges() {
  auto* const texels = static_cast<uint8_t*>(lockDesc.lpSurface);
  const auto row = [&](int y) {
    return reinterpret_cast<uint32_t*>(texels + static_cast<ptrdiff_t>(y) * lockDesc.lPitch);
  };
  // A picture without pixels leaves a transparent texture.
  if (width < 1 || height < 1) {
    for (int y = 0; y < textureHeight; y++) std::fill_n(row(y), textureWidth, 0u);
    return;
  }
  // Mipmap levels read every spare texel, plain filtering only the next one.
  const bool all = flags & IMG_MIPMAPPED;
  if (textureWidth > width) {
    const int end = all ? textureWidth : width + 1;
    for (int y = 0; y < height; y++) std::fill(row(y) + width, row(y) + end, row(y)[width - 1]);
  }
  if (textureHeight > height) {
    const int end = all ? textureHeight : height + 1;
    for (int y = height; y < end; y++) std::copy_n(row(height - 1), textureWidth, row(y));
  }
}

void TDX7ImageFrame::BuildMipMaps() {
  IDirectDrawSurface7* larger = surface;
  larger->AddRef();
  while (IDirectDrawSurface7* smaller = NextLevel(larger)) {
    {
      Level from(larger), to(smaller);
      for (int y = 0; y < to.Height(); y++) {
        for (int x = 0; x < to.Width(); x++) {
          to.At(x, y) =
              MixPixels(MixPixels(from.At(2 * x, 2 * y), from.At(2 * x + 1, 2 * y)),
                        MixPixels(from.At(2 * x, 2 * y + 1), from.At(2 * x + 1, 2 * y + 1)));
        }
      }
    }
    larger->Release();
    larger = smaller;
  }
  larger->Release();
}

#include "graphics/dx7/dx7_draw.h"

#include <cmath>
#include <numbers>

#include "graphics/display/graphics.h"
#include "graphics/draw2d/image.h"
#include "graphics/dx7/dx7_frame.h"
#include "runtime/program.h"
#include "runtime/runtime_error.h"

namespace {

DWORD ClampByte(int value) { return static_cast<DWORD>(value < 0 ? 0 : value > 255 ? 255 : value); }

// Ends the scene for GDI to reach the back buffer, and opens it again.
class SceneClosed {
 public:
  explicit SceneClosed(TDX7Context& context) : context_(context) { context_.EndScene(); }
  ~SceneClosed() { context_.BeginScene(); }
  SceneClosed(const SceneClosed&) = delete;
  SceneClosed& operator=(const SceneClosed&) = delete;

 private:
  TDX7Context& context_;
};

}  // namespace

String TDX7DrawDriver::ToString() const { return String("DirectX7"); }

std::vector<Ref<TGraphicsMode>> TDX7DrawDriver::GraphicsModes() {
  return DX7DisplayDriver()->GraphicsModes();
}

Ref<TDisplay> TDX7DrawDriver::Attach(intptr_t window, int flags) {
  const Ref<TDisplay> display = DX7DisplayDriver()->Attach(window, flags);
  if (!display) return nullptr;
  return WrapDisplay(display, Ref<TDrawDriver>(this));
}

Ref<TDisplay> TDX7DrawDriver::Create(int width, int height, int depth, int hz, int flags) {
  const Ref<TDisplay> display = DX7DisplayDriver()->Create(width, height, depth, hz, flags);
  if (!display) return nullptr;
  return WrapDisplay(display, Ref<TDrawDriver>(this));
}

void TDX7DrawDriver::SetDisplay(const Ref<TDisplay>& display) {
  // Quads waiting belong to the display selected until now.
  FlushBatch();
  const Ref<TDrawDisplay> draw = Cast<TDrawDisplay>(display);
  const Ref<TDX7Display> dx7 = draw ? Cast<TDX7Display>(draw->display) : nullptr;
  if (!dx7) {
    DX7DisplayDriver()->SetDisplay(nullptr);
    return;
  }
  IDirect3DDevice7* const selected = dx7->SetListener(this);
  if (!selected) return;
  DX7DisplayDriver()->SetDisplay(dx7);
  device = selected;
  ApplyDeviceState();
  const bool first = !draw->initialised;
  SelectDrawDisplay(draw);
  // The first selection has just applied the defaults.
  if (!first) draw->ReapplyState();
}

void TDX7DrawDriver::ApplyDeviceState() {
  const int width = DisplayWidth(), height = DisplayHeight();
  clipLeft = clipTop = 0;
  clipRight = width;
  clipBottom = height;
  viewport = D3DVIEWPORT7{0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 1};
  device->SetViewport(&viewport);
  // Half a pixel up and to the left of the usual place: texel centres fall
  // on pixel centres.
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  D3DMATRIX projection{};
  projection._11 = 2 / w;
  projection._22 = -2 / h;
  projection._33 = 1;
  projection._41 = -1 - 1 / w;
  projection._42 = 1 + 1 / h;
  projection._43 = 1;
  projection._44 = 1;
  device->SetTexture(0, nullptr);
  device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);

  device->SetRenderState(D3DRENDERSTATE_ALPHAREF, 128);
  device->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, FALSE);
  device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
  device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);

  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
  device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
  device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
  device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_LINEAR);

  frame = nullptr;
  magFilter = 0;
  blend = BLEND_SOLID;
}

void TDX7DrawDriver::DeviceReleased(TDX7Context&) {
  device = nullptr;
  frame = nullptr;
  batch.clear();
}

void TDX7DrawDriver::DeviceRestored(TDX7Context& context) {
  // Restored surfaces keep their device, and its state with it.
  if (device) return;
  device = context.device;
  const Ref<TDrawDisplay> draw = CurrentDrawDisplay();
  if (!draw || draw->driver.Get() != this) return;
  ApplyDeviceState();
  draw->ReapplyState();
}

void TDX7DrawDriver::Flip(int sync) {
  FlushBatch();
  DX7DisplayDriver()->Flip(sync);
}

Ref<TImageFrame> TDX7DrawDriver::MakeFrame(const Ref<TPixmap>& pixmap, int flags) {
  const Ref<TDX7ImageFrame> made = NewFrame(pixmap->Width(), pixmap->Height(), flags);
  const Ref<TPixmap> texels = made->LockFrame(false, true);
  texels->Paste(*pixmap, 0, 0);
  made->UnlockFrame();
  return made;
}

void TDX7DrawDriver::ApplyBlend(int mode) {
  if (mode == blend) return;
  FlushBatch();
  blend = mode;
  if (!device) return;
  const auto set = [&](bool test, bool blending, DWORD source = 0, DWORD target = 0) {
    device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, test);
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, blending);
    if (!blending) return;
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, source);
    device->SetRenderState(D3DRENDERSTATE_DESTBLEND, target);
  };
  switch (mode) {
    case BLEND_MASK:
      return set(true, false);
    case BLEND_SOLID:
      return set(false, false);
    case BLEND_ALPHA:
      return set(false, true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    case BLEND_LIGHT:
      return set(false, true, D3DBLEND_SRCALPHA, D3DBLEND_ONE);
    case BLEND_SHADE:
      return set(false, true, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR);
    default:
      return;
  }
}

void TDX7DrawDriver::ApplyAlpha(float alpha) {
  // NaN fails every comparison and becomes 0.
  if (alpha > 1) {
    alpha = 1.0f;
  } else if (!(alpha >= 0)) {
    alpha = 0.0f;
  }
  const auto byte = static_cast<DWORD>(static_cast<double>(alpha) * 255.0);
  color = (color & 0xFFFFFF) | byte << 24;
}

void TDX7DrawDriver::ApplyColor(int r, int g, int b) {
  color = (color & 0xFF000000) | ClampByte(r) << 16 | ClampByte(g) << 8 | ClampByte(b);
}

void TDX7DrawDriver::ApplyClearColor(int r, int g, int b) {
  clearColor = 0xFF000000 | ClampByte(r) << 16 | ClampByte(g) << 8 | ClampByte(b);
}

void TDX7DrawDriver::ApplyClip(int x, int y, int width, int height) {
  FlushBatch();
  clipLeft = x;
  clipTop = y;
  clipRight = x + width;
  clipBottom = y + height;
  if (!device) return;
  if (x == 0 && y == 0 && width == DisplayWidth() && height == DisplayHeight()) {
    device->SetRenderState(D3DRENDERSTATE_CLIPPLANEENABLE, 0);
    return;
  }
  const float left = static_cast<float>(x), top = static_cast<float>(y);
  const float right = static_cast<float>(clipRight), bottom = static_cast<float>(clipBottom);
  float planes[4][4] = {{1, 0, 0, -left}, {-1, 0, 0, right}, {0, 1, 0, -top}, {0, -1, 0, bottom}};
  for (DWORD i = 0; i < 4; i++) device->SetClipPlane(i, planes[i]);
  device->SetRenderState(D3DRENDERSTATE_CLIPPLANEENABLE, 15);
}

void TDX7DrawDriver::ApplyMatrix(float newIx, float newIy, float newJx, float newJy) {
  ix = newIx;
  iy = newIy;
  jx = newJx;
  jy = newJy;
}

void TDX7DrawDriver::ApplyLineWidth(float width) { lineWidth = width; }

void TDX7DrawDriver::ClearBuffer() {
  FlushBatch();
  if (!device) return;
  D3DRECT rect{clipLeft, clipTop, clipRight, clipBottom};
  device->Clear(1, &rect, D3DCLEAR_TARGET, clearColor, 0, 0);
}

void TDX7DrawDriver::Place(DX7Vertex& vertex, float x, float y, float tx, float ty) const {
  vertex = DX7Vertex{x * ix + y * iy + tx, x * jx + y * jy + ty, 0, color};
}

void TDX7DrawDriver::Draw(D3DPRIMITIVETYPE type, DX7Vertex* vertices, DWORD count) {
  SelectFrame(nullptr);
  if (device) device->DrawPrimitive(type, DX7_VERTEX_FORMAT, vertices, count, 0);
}

void TDX7DrawDriver::RenderPoint(float x, float y) {
  DX7Vertex point{x + 0.5001f, y + 0.5001f, 0, color};
  Draw(D3DPT_POINTLIST, &point, 1);
}

void TDX7DrawDriver::RenderLine(float x0, float y0, float x1, float y1, float tx, float ty) {
  DX7Vertex ends[2];
  Place(ends[0], x0, y0, tx, ty);
  Place(ends[1], x1, y1, tx, ty);
  if (lineWidth == 1.0f) {
    for (DX7Vertex& end : ends) {
      end.x += 0.5001f;
      end.y += 0.5001f;
    }
    Draw(D3DPT_LINELIST, ends, 2);
    return;
  }
  // A band as wide as the line, its ends cut across the nearer axis.
  const float n = lineWidth * 0.5f;
  const bool steep = std::fabs(ends[1].x - ends[0].x) < std::fabs(ends[1].y - ends[0].y);
  const float nx = steep ? n : 0, ny = steep ? 0 : n;
  for (int i = 0; i < 4; i++) {
    const DX7Vertex& end = ends[i / 2];
    const float side = i % 2 ? 1.0f : -1.0f;
    quad[i] = DX7Vertex{end.x + side * nx, end.y + side * ny, 0, color};
  }
  Draw(D3DPT_TRIANGLESTRIP, quad, 4);
}

void TDX7DrawDriver::RenderRect(float x0, float y0, float x1, float y1, float tx, float ty) {
  Place(quad[0], x0, y0, tx, ty);
  Place(quad[1], x1, y0, tx, ty);
  Place(quad[2], x0, y1, tx, ty);
  Place(quad[3], x1, y1, tx, ty);
  Draw(D3DPT_TRIANGLESTRIP, quad, 4);
}

void TDX7DrawDriver::RenderOval(float x0, float y0, float x1, float y1, float tx, float ty) {
  const float rx = (x1 - x0) * 0.5f, ry = (y1 - y0) * 0.5f;
  const float cx = x0 + rx, cy = y0 + ry;
  const int n = OvalVertexCount(rx, ry);
  std::vector<DX7Vertex> fan(static_cast<size_t>(n));
  for (int i = 0; i < n; i++) {
    const double a = -i * 360.0 / n * (std::numbers::pi / 180.0);
    Place(fan[static_cast<size_t>(i)], cx + rx * static_cast<float>(std::cos(a)),
          cy - ry * static_cast<float>(std::sin(a)), tx, ty);
  }
  Draw(D3DPT_TRIANGLEFAN, fan.data(), static_cast<DWORD>(n));
}

void TDX7DrawDriver::RenderPolygon(const std::vector<float>& xy, float hx, float hy, float tx,
                                   float ty) {
  if (xy.size() < 6 || xy.size() % 2 != 0) return;
  std::vector<DX7Vertex> fan(xy.size() / 2);
  for (size_t i = 0; i < fan.size(); i++) Place(fan[i], xy[i * 2] + hx, xy[i * 2 + 1] + hy, tx, ty);
  Draw(D3DPT_TRIANGLEFAN, fan.data(), static_cast<DWORD>(fan.size()));
}

void TDX7DrawDriver::SelectFrame(TDX7ImageFrame* selected) {
  if (selected == frame) return;
  FlushBatch();
  const bool textured = frame != nullptr;
  frame = selected;
  if (!device) return;
  if (selected) {
    device->SetTexture(0, selected->surface);
    if (!textured) {
      device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
      device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    }
    const int filter = selected->flags & IMG_FILTERED;
    if (filter != magFilter) {
      device->SetTextureStageState(0, D3DTSS_MAGFILTER, filter ? D3DTFG_LINEAR : D3DTFG_POINT);
      magFilter = filter;
    }
  } else {
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  }
}

Ref<TDX7ImageFrame> TDX7DrawDriver::NewFrame(int width, int height, int flags) {
  return TDX7ImageFrame::Create(Ref<TDX7DrawDriver>(this), width, height, flags);
}

void TDX7DrawDriver::RenderFrameQuad(TDX7ImageFrame& quadFrame, float x0, float y0, float x1,
                                     float y1, float tx, float ty) {
  const float corners[4][2] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
  for (int i = 0; i < 4; i++) {
    DX7TexturedVertex& v = quadFrame.vertices[i];
    const float x = corners[i][0], y = corners[i][1];
    v.x = x * ix + y * iy + tx;
    v.y = x * jx + y * jy + ty;
    v.z = 0;
    v.color = color;
  }
  SelectFrame(&quadFrame);
  // Direct3D draws at most D3DMAXNUMVERTICES in one call.
  if (batch.size() + 6 > D3DMAXNUMVERTICES) FlushBatch();
  // The strip's two triangles, waiting with the frame's other quads.
  for (int i : {0, 1, 2, 2, 1, 3}) batch.push_back(quadFrame.vertices[i]);
}

void TDX7DrawDriver::FlushBatch() {
  if (batch.empty()) return;
  if (device) {
    device->DrawPrimitive(D3DPT_TRIANGLELIST, DX7_TEXTURED_VERTEX_FORMAT, batch.data(),
                          static_cast<DWORD>(batch.size()), 0);
  }
  batch.clear();
}

IDirectDrawSurface7* TDX7DrawDriver::CreateSystemSurface(Ref<TPixmap>& pixmap) {
  // GDI reads and writes system surfaces reliably in one format, on Wine too.
  if (pixmap->Format() != PIXFMT_BGRA32) pixmap = pixmap->Convert(PIXFMT_BGRA32);
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags =
      DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  desc.dwWidth = static_cast<DWORD>(pixmap->Width());
  desc.dwHeight = static_cast<DWORD>(pixmap->Height());
  desc.lPitch = pixmap->Pitch();
  desc.lpSurface = pixmap->Pixels();
  desc.ddpfPixelFormat = Bgra32PixelFormat();
  IDirectDrawSurface7* surface = nullptr;
  if (FAILED(DX7DisplayDriver()->context->directDraw->CreateSurface(&desc, &surface, nullptr))) {
    throw RuntimeError("D3D7Flat2D Create System Surface Failed");
  }
  return surface;
}

template <class Copy>
void TDX7DrawDriver::WithBackBufferDC(Ref<TPixmap> pixmap, Copy copy) {
  if (!device || pixmap->Width() < 1 || pixmap->Height() < 1) return;
  FlushBatch();
  TDX7Context& context = *DX7DisplayDriver()->context;
  IDirectDrawSurface7* const back = context.backBuffer;
  SceneClosed closed(context);
  IDirectDrawSurface7* const system = CreateSystemSurface(pixmap);
  HDC backDC = nullptr, systemDC = nullptr;
  if (SUCCEEDED(back->GetDC(&backDC))) {
    if (SUCCEEDED(system->GetDC(&systemDC))) {
      copy(backDC, systemDC, pixmap);
      system->ReleaseDC(systemDC);
    }
    back->ReleaseDC(backDC);
  }
  system->Release();
}

void TDX7DrawDriver::BlitPixmap(const Ref<TPixmap>& pixmap, int x, int y) {
  WithBackBufferDC(pixmap, [&](HDC back, HDC system, const Ref<TPixmap>& source) {
    BitBlt(back, x, y, source->Width(), source->Height(), system, 0, 0, SRCCOPY);
  });
}

Ref<TPixmap> TDX7DrawDriver::ReadPixmap(int x, int y, int width, int height) {
  const Ref<TPixmap> read = CreatePixmap(width, height, PIXFMT_BGR24, 4);
  Ref<TPixmap> pixels = CreatePixmap(width, height, PIXFMT_BGRA32, 4);
  WithBackBufferDC(pixels, [&](HDC back, HDC system, const Ref<TPixmap>& target) {
    BitBlt(system, 0, 0, width, height, back, x, y, SRCCOPY);
    read->Paste(*target, 0, 0);
  });
  return read;
}

Ref<TDrawDriver> DX7DrawDriver() {
  static const Ref<TDrawDriver> driver =
      DX7DisplayDriver() ? Ref<TDrawDriver>(New<TDX7DrawDriver>()) : nullptr;
  return driver;
}

void StartDX7Draw2D() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartDraw2D();
  if (const Ref<TDrawDriver> driver = DX7DrawDriver()) SelectDisplayDriver(driver, DF_BACKBUFFER);
}

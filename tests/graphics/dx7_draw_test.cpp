// The DirectX 7 2D driver against a recording device: the render states,
// clip planes, clears and vertices it hands Direct3D. No display is open, so
// DisplayWidth() and DisplayHeight() are 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "graphics/draw2d/image.h"
#include "graphics/dx7/dx7_draw_driver.h"
#include "graphics/dx7/dx7_frame.h"
#include "runtime/object.h"
#include "tests/graphics/dx7_fake_device.h"

namespace {

using Vertex = FakeD3DDevice::Vertex;

// Pixel centres are hit a little past the half so that rounding never drops
// a point or a line end into the pixel before.
constexpr float HALF = 0.5001f;

struct Point {
  float x, y;
};

std::string Describe(const std::vector<Vertex>& vertices) {
  std::string text;
  char item[64];
  for (const Vertex& v : vertices) {
    std::snprintf(item, sizeof item, "(%g, %g) ", v.x, v.y);
    text += item;
  }
  return text;
}

// The vertices are the expected points in order.
void ExpectVertices(const std::vector<Point>& expected, const std::vector<Vertex>& actual,
                    float tolerance = 1e-3f) {
  ASSERT_EQ(expected.size(), actual.size()) << Describe(actual);
  for (size_t i = 0; i < expected.size(); i++) {
    EXPECT_NEAR(expected[i].x, actual[i].x, tolerance)
        << "vertex " << i << ": " << Describe(actual);
    EXPECT_NEAR(expected[i].y, actual[i].y, tolerance)
        << "vertex " << i << ": " << Describe(actual);
  }
}

// The vertices are the expected points, each moved by (offset, offset), in
// any order.
bool SameCorners(const std::vector<Vertex>& actual, const std::vector<Point>& expected,
                 float offset) {
  if (actual.size() != expected.size()) return false;
  std::vector<bool> used(actual.size());
  for (const Point& p : expected) {
    bool found = false;
    for (size_t i = 0; i < actual.size() && !found; i++) {
      if (!used[i] && std::fabs(actual[i].x - p.x - offset) < 1e-3f &&
          std::fabs(actual[i].y - p.y - offset) < 1e-3f) {
        used[i] = found = true;
      }
    }
    if (!found) return false;
  }
  return true;
}

float Cross(const Vertex& o, const Vertex& a, const Vertex& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// A four-vertex strip covers its quadrilateral only when its shared edge
// (vertices 1 and 2) is a diagonal: the outer vertices on either side of it.
bool StripCoversQuad(const std::vector<Vertex>& v) {
  return v.size() == 4 && Cross(v[1], v[2], v[0]) * Cross(v[1], v[2], v[3]) < 0;
}

class DX7Draw : public testing::Test {
 protected:
  void SetUp() override { driver->device = &device; }

  // The one draw made since the last Reset.
  const FakeD3DDevice::DrawCall& OnlyDraw() {
    static const FakeD3DDevice::DrawCall none{D3DPT_POINTLIST, 0, {}};
    EXPECT_EQ(1u, device.draws.size());
    return device.draws.empty() ? none : device.draws.back();
  }

  // The colour a point is drawn with.
  DWORD PointColor() {
    device.Reset();
    driver->RenderPoint(0, 0);
    const auto& draw = OnlyDraw();
    return draw.vertices.empty() ? 0xdeadbeef : draw.vertices[0].color;
  }

  FakeD3DDevice device;
  Ref<TDX7DrawDriver> driver = New<TDX7DrawDriver>();
};

TEST_F(DX7Draw, BlendModesSetTheEffectiveStatesOnlyWhenTheModeChanges) {
  struct Mode {
    int mode;
    bool alphaTest, alphaBlend;
    DWORD source, destination;  // checked when blending
  };
  // Each mode follows one it differs from in what it must switch.
  const Mode modes[] = {
      {BLEND_MASK, true, false, 0, 0},
      {BLEND_ALPHA, false, true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
      {BLEND_SOLID, false, false, 0, 0},
      {BLEND_LIGHT, false, true, D3DBLEND_SRCALPHA, D3DBLEND_ONE},
      {BLEND_MASK, true, false, 0, 0},
      {BLEND_SHADE, false, true, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR},
      {BLEND_ALPHA, false, true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
  };
  for (const Mode& m : modes) {
    SCOPED_TRACE("mode " + std::to_string(m.mode));
    driver->ApplyBlend(m.mode);
    EXPECT_EQ(m.mode, driver->blend);
    EXPECT_EQ(m.alphaTest, device.StateValue(D3DRENDERSTATE_ALPHATESTENABLE) != 0);
    EXPECT_EQ(m.alphaBlend, device.StateValue(D3DRENDERSTATE_ALPHABLENDENABLE) != 0);
    if (m.alphaBlend) {
      EXPECT_EQ(m.source, device.StateValue(D3DRENDERSTATE_SRCBLEND));
      EXPECT_EQ(m.destination, device.StateValue(D3DRENDERSTATE_DESTBLEND));
    }
    // The reference the alpha test compares with is the device's, set once.
    EXPECT_FALSE(device.WasSet(D3DRENDERSTATE_ALPHAREF));

    const size_t calls = device.calls.size();
    driver->ApplyBlend(m.mode);
    EXPECT_EQ(calls, device.calls.size()) << "the same mode again";
  }

  device.Reset();
  driver->ApplyBlend(99);
  EXPECT_EQ(99, driver->blend);
  driver->ApplyBlend(0);
  EXPECT_EQ(0, driver->blend);
  EXPECT_TRUE(device.calls.empty());
}

TEST_F(DX7Draw, ColoursAreClampedAndEveryVertexCarriesTheDrawingColour) {
  driver->ApplyColor(300, -5, 128);
  driver->ApplyAlpha(0.5f);
  const DWORD color = 0x7fff0080;  // 0.5 * 255 truncated; red in bits 16-23

  device.Reset();
  driver->RenderPoint(1, 2);
  driver->RenderLine(0, 0, 10, 3, 5, 5);
  driver->ApplyLineWidth(3);
  driver->RenderLine(0, 0, 10, 3, 5, 5);
  driver->RenderRect(0, 0, 4, 4, 1, 1);
  driver->RenderOval(0, 0, 10, 6, 1, 1);
  driver->RenderPolygon({0, 0, 5, 0, 0, 5}, 0, 0, 1, 1);
  ASSERT_EQ(6u, device.draws.size());
  for (const auto& draw : device.draws) {
    SCOPED_TRACE("primitive type " + std::to_string(draw.type));
    EXPECT_EQ(DX7_VERTEX_FORMAT, draw.fvf);
    ASSERT_FALSE(draw.vertices.empty());
    for (const Vertex& v : draw.vertices) {
      EXPECT_EQ(color, v.color);
      EXPECT_EQ(0.0f, v.z);
    }
  }
  // No frame was ever bound, so there is no texture to unbind.
  EXPECT_EQ(0, device.Count("SetTexture"));

  // Alpha and colour change independently of each other.
  driver->ApplyAlpha(2);
  EXPECT_EQ(0xffff0080u, PointColor());
  driver->ApplyAlpha(-1);
  EXPECT_EQ(0x00ff0080u, PointColor());
  driver->ApplyAlpha(1);
  driver->ApplyColor(-1, 256, 7);
  EXPECT_EQ(0xff00ff07u, PointColor());

  // The clear colour is opaque, clamped, and not the drawing colour.
  device.Reset();
  driver->ApplyClearColor(1000, 16, -3);
  driver->ClearBuffer();
  ASSERT_EQ(1u, device.clears.size());
  EXPECT_EQ(0xffff1000u, device.clears[0].color);
  EXPECT_EQ(static_cast<DWORD>(D3DCLEAR_TARGET), device.clears[0].flags);
  EXPECT_EQ(0xff00ff07u, PointColor());
}

TEST_F(DX7Draw, ClipRectangleBecomesFourPlanesAndBoundsTheClear) {
  using Plane = std::array<float, 4>;
  // The planes set last for indices 0 to 3, sorted: which index bounds which
  // side does not matter while all four are enabled.
  auto planes = [&] {
    std::vector<Plane> last(4, Plane{99, 99, 99, 99});
    for (const auto& p : device.clipPlanes) {
      if (p.index < 4) last[p.index] = p.plane;
    }
    std::sort(last.begin(), last.end());
    return last;
  };
  auto sorted = [](std::vector<Plane> expected) {
    std::sort(expected.begin(), expected.end());
    return expected;
  };
  const DWORD allFour = D3DCLIPPLANE0 | D3DCLIPPLANE1 | D3DCLIPPLANE2 | D3DCLIPPLANE3;

  // Keeps 10 <= x <= 110 and 20 <= y <= 70.
  driver->ApplyClip(10, 20, 100, 50);
  EXPECT_EQ(sorted({{1, 0, 0, -10}, {-1, 0, 0, 110}, {0, 1, 0, -20}, {0, -1, 0, 70}}), planes());
  EXPECT_EQ(allFour, device.StateValue(D3DRENDERSTATE_CLIPPLANEENABLE));

  device.Reset();
  driver->ClearBuffer();
  ASSERT_EQ(1u, device.clears.size());
  EXPECT_EQ(static_cast<DWORD>(D3DCLEAR_TARGET), device.clears[0].flags);
  ASSERT_EQ(1u, device.clears[0].rects.size());
  const D3DRECT& rect = device.clears[0].rects[0];
  EXPECT_EQ((std::array<LONG, 4>{10, 20, 110, 70}),
            (std::array<LONG, 4>{rect.x1, rect.y1, rect.x2, rect.y2}));

  // The whole display (0 x 0 with none open) clips nothing.
  device.Reset();
  driver->ApplyClip(0, 0, 0, 0);
  ASSERT_TRUE(device.WasSet(D3DRENDERSTATE_CLIPPLANEENABLE));
  EXPECT_EQ(0u, device.StateValue(D3DRENDERSTATE_CLIPPLANEENABLE));
  driver->ClearBuffer();
  ASSERT_EQ(1u, device.clears.size());
  for (const D3DRECT& r : device.clears[0].rects) {
    EXPECT_EQ((std::array<LONG, 4>{0, 0, 0, 0}), (std::array<LONG, 4>{r.x1, r.y1, r.x2, r.y2}));
  }

  // Starting at the origin is not enough to be the whole display.
  device.Reset();
  driver->ApplyClip(0, 0, 50, 40);
  EXPECT_EQ(sorted({{1, 0, 0, 0}, {-1, 0, 0, 50}, {0, 1, 0, 0}, {0, -1, 0, 40}}), planes());
  EXPECT_EQ(allFour, device.StateValue(D3DRENDERSTATE_CLIPPLANEENABLE));
}

TEST_F(DX7Draw, PointsAndLinesHitPixelCentresAndWideLinesAreStrips) {
  // Points ignore the matrix; line ends are placed by it.
  driver->ApplyMatrix(2, 1, -1, 3);
  device.Reset();
  driver->RenderPoint(3, 4);
  EXPECT_EQ(D3DPT_POINTLIST, OnlyDraw().type);
  ExpectVertices({{3 + HALF, 4 + HALF}}, OnlyDraw().vertices, 2e-5f);

  device.Reset();
  driver->RenderLine(1, 2, 5, 7, 100, 200);
  EXPECT_EQ(D3DPT_LINELIST, OnlyDraw().type);
  ExpectVertices({{104 + HALF, 205 + HALF}, {117 + HALF, 216 + HALF}}, OnlyDraw().vertices);

  // Four pixels wide: the ends pushed 2 up and down along a flat line, left
  // and right along a steep one; the width is in pixels, not scaled.
  driver->ApplyLineWidth(4);
  driver->ApplyMatrix(1, 0, 0, 1);
  device.Reset();
  driver->RenderLine(0, 0, 40, 10, 10, 10);
  {
    const auto& draw = OnlyDraw();
    EXPECT_EQ(D3DPT_TRIANGLESTRIP, draw.type);
    const std::vector<Point> corners{{10, 8}, {10, 12}, {50, 18}, {50, 22}};
    EXPECT_TRUE(SameCorners(draw.vertices, corners, 0) || SameCorners(draw.vertices, corners, HALF))
        << Describe(draw.vertices);
    EXPECT_TRUE(StripCoversQuad(draw.vertices)) << Describe(draw.vertices);
  }
  driver->ApplyMatrix(2, 0, 0, 2);
  device.Reset();
  driver->RenderLine(5, 25, 10, 5, 0, 0);
  {
    const auto& draw = OnlyDraw();
    EXPECT_EQ(D3DPT_TRIANGLESTRIP, draw.type);
    const std::vector<Point> corners{{8, 50}, {12, 50}, {18, 10}, {22, 10}};
    EXPECT_TRUE(SameCorners(draw.vertices, corners, 0) || SameCorners(draw.vertices, corners, HALF))
        << Describe(draw.vertices);
    EXPECT_TRUE(StripCoversQuad(draw.vertices)) << Describe(draw.vertices);
  }

  driver->ApplyLineWidth(1);
  device.Reset();
  driver->RenderLine(0, 0, 1, 1, 0, 0);
  EXPECT_EQ(D3DPT_LINELIST, OnlyDraw().type);
}

TEST_F(DX7Draw, FilledShapesArePlacedByTheMatrix) {
  // (x, y) -> (2x + y + tx, -x + 3y + ty)
  driver->ApplyMatrix(2, 1, -1, 3);
  device.Reset();
  driver->RenderRect(1, 2, 5, 7, 100, 200);
  EXPECT_EQ(D3DPT_TRIANGLESTRIP, OnlyDraw().type);
  ExpectVertices({{104, 205}, {112, 201}, {109, 220}, {117, 216}}, OnlyDraw().vertices);

  // The handle moves the points before the matrix.
  device.Reset();
  driver->RenderPolygon({0, 0, 4, 0, 4, 2, 0, 2}, -1, 1, 10, 20);
  EXPECT_EQ(D3DPT_TRIANGLEFAN, OnlyDraw().type);
  ExpectVertices({{9, 24}, {17, 20}, {19, 26}, {11, 30}}, OnlyDraw().vertices);

  device.Reset();
  driver->RenderPolygon({}, 0, 0, 0, 0);
  driver->RenderPolygon({0, 0, 4, 0}, 0, 0, 0, 0);
  driver->RenderPolygon({0, 0, 4, 0, 4, 2, 0}, 0, 0, 0, 0);
  EXPECT_TRUE(device.draws.empty());

  // An oval's rim point, local (cx + rx cos, cy + ry sin) for a box of
  // 4 x 2 at the origin, is placed too: vertex 0 is local (4, 1).
  device.Reset();
  driver->RenderOval(0, 0, 4, 2, 10, 20);
  ASSERT_FALSE(OnlyDraw().vertices.empty());
  ExpectVertices({{19, 19}}, {OnlyDraw().vertices[0]});
}

TEST_F(DX7Draw, OvalsAreFansWithAVertexCountFollowingTheirSize) {
  struct Box {
    float x0, y0, x1, y1;
    size_t vertices;
  };
  const Box boxes[] = {
      {0, 0, 10, 6, 12},    // 5 + 3, at least 12
      {0, 0, 1, 1, 12},     // tiny
      {0, 0, 100, 60, 80},  // 50 + 30
      {0, 0, 33, 26, 28},   // 16.5 + 13 = 29.5: 29, then down to a multiple of 4
      {10, 6, 0, 0, 12},    // box corners swapped
      {100, 0, 0, 60, 80},
  };
  for (const Box& box : boxes) {
    SCOPED_TRACE(std::to_string(box.x1 - box.x0) + " x " + std::to_string(box.y1 - box.y0));
    device.Reset();
    driver->RenderOval(box.x0, box.y0, box.x1, box.y1, 0, 0);
    EXPECT_EQ(D3DPT_TRIANGLEFAN, OnlyDraw().type);
    EXPECT_EQ(box.vertices, OnlyDraw().vertices.size());
  }

  // Vertex i at -i * 360 / n degrees from the right-hand end: down the
  // screen first.
  device.Reset();
  driver->RenderOval(0, 0, 100, 60, 200, 100);
  std::vector<Point> rim;
  for (int i = 0; i < 80; i++) {
    const double a = -i * 2 * std::numbers::pi / 80;
    rim.push_back(
        {static_cast<float>(250 + 50 * std::cos(a)), static_cast<float>(130 - 30 * std::sin(a))});
  }
  ExpectVertices(rim, OnlyDraw().vertices);
}

TEST_F(DX7Draw, FramesDrawTexturedAndPrimitivesUnbindTheTextureFirst) {
  // Never dereferenced by the recording device; taken back before the frames
  // go, which would release it.
  auto* texture = reinterpret_cast<IDirectDrawSurface7*>(uintptr_t{0x1000});
  Ref<TDX7ImageFrame> smooth = New<TDX7ImageFrame>(driver, 4, 4, IMG_FILTERED);
  Ref<TDX7ImageFrame> blocky = New<TDX7ImageFrame>(driver, 4, 4, 0);
  smooth->surface = blocky->surface = texture;
  auto lastFilter = [&] {
    DWORD filter = 0xdeadbeef;
    for (const auto& s : device.stageStates) {
      if (s.stage == 0 && s.type == D3DTSS_MAGFILTER) filter = s.value;
    }
    return filter;
  };

  driver->ApplyColor(10, 20, 30);
  driver->ApplyAlpha(1);
  driver->ApplyMatrix(1, 0, 0, 1);
  smooth->SetTexCoords(0, 0, 0.5f, 0.75f);
  device.Reset();
  smooth->Render(0, 0, 4, 2, 10, 20);
  EXPECT_EQ(0, device.Count("DrawPrimitive")) << "the quad waits for more of its frame";
  smooth->Render(4, 0, 8, 2, 10, 20);
  driver->FlushBatch();
  {
    // Both quads in one draw, each as the two triangles of its strip.
    const auto& draw = OnlyDraw();
    EXPECT_EQ(D3DPT_TRIANGLELIST, draw.type);
    EXPECT_EQ(DX7_TEXTURED_VERTEX_FORMAT, draw.fvf);
    ExpectVertices({{10, 20},
                    {14, 20},
                    {10, 22},
                    {10, 22},
                    {14, 20},
                    {14, 22},
                    {14, 20},
                    {18, 20},
                    {14, 22},
                    {14, 22},
                    {18, 20},
                    {18, 22}},
                   draw.vertices);
    const Point uv[] = {{0, 0}, {0.5f, 0}, {0, 0.75f}, {0, 0.75f}, {0.5f, 0}, {0.5f, 0.75f}};
    for (size_t i = 0; i < draw.vertices.size(); i++) {
      EXPECT_EQ(0xff0a141eu, draw.vertices[i].color);
      EXPECT_EQ(uv[i % 6].x, draw.vertices[i].u);
      EXPECT_EQ(uv[i % 6].y, draw.vertices[i].v);
    }
  }
  ASSERT_EQ(1u, device.textures.size());
  EXPECT_EQ(texture, device.textures[0].surface);
  EXPECT_EQ(static_cast<DWORD>(D3DTFG_LINEAR), lastFilter());
  blocky->Render(0, 0, 4, 2, 10, 20);
  EXPECT_EQ(static_cast<DWORD>(D3DTFG_POINT), lastFilter());

  // The quad waiting is drawn with its texture, then unbound for the rect.
  device.Reset();
  driver->RenderRect(0, 0, 1, 1, 0, 0);
  ASSERT_EQ(2u, device.draws.size());
  EXPECT_EQ(D3DPT_TRIANGLELIST, device.draws[0].type);
  EXPECT_EQ(D3DPT_TRIANGLESTRIP, device.draws[1].type);
  ASSERT_EQ(1u, device.textures.size());
  EXPECT_EQ(0u, device.textures[0].stage);
  EXPECT_EQ(nullptr, device.textures[0].surface);
  EXPECT_EQ(device.calls,
            (std::vector<std::string>{"DrawPrimitive", "SetTexture", "SetTextureStageState",
                                      "SetTextureStageState", "DrawPrimitive"}));
  EXPECT_EQ(nullptr, driver->frame);

  // Unbound once is enough.
  device.Reset();
  driver->RenderRect(0, 0, 1, 1, 0, 0);
  EXPECT_EQ(0, device.Count("SetTexture"));

  // A change of blend mode comes after the quads drawn before it.
  smooth->Render(0, 0, 4, 2, 10, 20);
  device.Reset();
  driver->ApplyBlend(BLEND_ALPHA);
  ASSERT_FALSE(device.calls.empty());
  EXPECT_EQ("DrawPrimitive", device.calls.front());

  // A frame going away while bound leaves the driver no dangling frame.
  driver->SelectFrame(blocky.Get());
  smooth->surface = blocky->surface = nullptr;
  blocky = nullptr;
  EXPECT_EQ(nullptr, driver->frame);
}

TEST_F(DX7Draw, QuadsGoToDirect3DInDrawsOfAtMost65535VerticesAndNoneIsLost) {
  const Ref<TDX7ImageFrame> tile = New<TDX7ImageFrame>(driver, 1, 1, 0);
  tile->surface = reinterpret_cast<IDirectDrawSurface7*>(uintptr_t{0x1000});
  driver->ApplyMatrix(1, 0, 0, 1);
  device.Reset();
  for (int i = 0; i < 25000; i++) tile->Render(0, 0, 1, 1, static_cast<float>(i), 0);
  driver->FlushBatch();
  float next = 0;  // the left edge of the next quad, placed at 0, 1, 2...
  for (const auto& draw : device.draws) {
    EXPECT_LE(draw.vertices.size(), 65535u);
    EXPECT_EQ(draw.vertices.size() % 6, 0u) << "a quad split between draws";
    for (size_t v = 0; v < draw.vertices.size(); v += 6) EXPECT_EQ(draw.vertices[v].x, next++);
  }
  EXPECT_EQ(next, 25000);
  tile->surface = nullptr;
}

TEST(DX7ImageFrame, MixPixelsAveragesEachByteRoundingUp) {
  EXPECT_EQ(0x80808080u, TDX7ImageFrame::MixPixels(0xffffffff, 0));
  EXPECT_EQ(0x80808080u, TDX7ImageFrame::MixPixels(0xff00ff00, 0x00ff00ff));
  EXPECT_EQ(0x01020304u, TDX7ImageFrame::MixPixels(0x01030507, 0x00010101));
  for (uint32_t a : {0u, 0xffffffffu, 0x12345678u, 0x80ff0001u}) {
    EXPECT_EQ(a, TDX7ImageFrame::MixPixels(a, a)) << std::hex << a;
  }
}

}  // namespace

// Collisions are tested with the shapes placed on a real OpenGL display, so
// the origin, anchors and matrix are those that drawing uses. The pixel test
// itself is tested without a display in collide_scan_test.cpp.
#include "graphics/collide/collide.h"

#include <gtest/gtest.h>

#include <cmath>

#include "graphics/display/graphics.h"
#include "graphics/draw2d/draw_state.h"
#include "graphics/gl/gl_draw.h"
#include "runtime/string_object.h"
#include "system/system_driver.h"
#include "system/x11/x11_connection.h"
#include "tests/support/keep_mesa_loaded.h"

namespace {

// An image of one frame whose pixels have alpha(x, y) and are white.
template <class F>
Ref<TImage> Shape(int width, int height, F alpha) {
  Ref<TImage> image = NewImage(width, height, 1, 0);
  Ref<TPixmap> pixmap = LockImageFrame(image, 0, 0, 1);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pixmap->WritePixel(x, y,
                         static_cast<int>(static_cast<uint32_t>(alpha(x, y)) << 24 | 0xffffff));
    }
  }
  UnlockImageFrame(image, 0);
  return image;
}

Ref<TImage> Solid(int width, int height) {
  return Shape(width, height, [](int, int) { return 255; });
}

// A disc of the given diameter, opaque inside, transparent in the corners.
Ref<TImage> Disc(int diameter) {
  const float r = diameter / 2.0f;
  return Shape(diameter, diameter,
               [r](int x, int y) { return std::hypot(x + 0.5f - r, y + 0.5f - r) < r ? 255 : 0; });
}

std::vector<std::string> Names(const CollisionIds& ids) {
  std::vector<std::string> names;
  for (const Ref<Object>& id : ids) names.push_back(Cast<TStringObject>(id)->Value().ToUtf8());
  return names;
}

class Collide : public testing::Test {
 protected:
  void SetUp() override {
    StartSystem();
    StartGLDraw2D();
    if (!X11Display()) GTEST_SKIP() << "No X server could be opened; set DISPLAY to one (an Xvfb)";
    SelectDisplayDriver(GLDrawDriver(), DF_BACKBUFFER);
    OpenDisplay(320, 240, 0, 0, 0);
    ASSERT_TRUE(CurrentDrawDisplay());
    ClearCollisionLayers(0);
  }
  void TearDown() override {
    if (!X11Display()) return;
    KeepMesaLoaded();
    CloseOpenedDisplay();
  }
};

TEST_F(Collide, PlacementFollowsAnchorOriginAndMatrix) {
  const Ref<TImage> a = Solid(16, 16), b = Solid(16, 16);
  CenterImageAnchor(a);
  // a now spans -8..8 around its position.
  EXPECT_EQ(ImagesOverlap(a, 8, 0, 0, b, 15, 0, 0), 1);
  EXPECT_EQ(ImagesOverlap(a, 8, 0, 0, b, 16, 0, 0), 0);
  SetDrawOrigin(100, 50);
  EXPECT_EQ(ImagesOverlap(a, 8, 0, 0, b, 15, 0, 0), 1) << "the origin moves both";
  EXPECT_EQ(CollideRectangle(115, 50, 1, 1, 0, 0, nullptr).size(), 0u);
  CollideImageFrame(b, 15, 0, 0, 0, 1, New<TStringObject>(String("b")));
  EXPECT_EQ(CollideRectangle(15, 15, 1, 1, 1, 0, nullptr).size(), 1u);
  EXPECT_EQ(CollideRectangle(15, 16, 1, 1, 1, 0, nullptr).size(), 0u);
  SetDrawOrigin(0, 0);

  // Scaled twice as wide, a reaches 8 pixels further each way.
  SetDrawScale(2, 1);
  EXPECT_EQ(ImagesOverlap(a, 8, 0, 0, b, 23, 0, 0), 1);
  EXPECT_EQ(ImagesOverlap(a, 8, 0, 0, b, 24, 0, 0), 0);
  EXPECT_EQ(ImagesOverlap(a, 8, 0, 0, b, -39, 0, 0), 1) << "b, from the left, is scaled too";
  EXPECT_EQ(ImagesOverlap(a, 8, 0, 0, b, -40, 0, 0), 0);
  // Mirrored, the corners run the other way round the quad, and b reaches
  // to the left of its position.
  SetDrawScale(-1, 1);
  EXPECT_EQ(ImagesOverlap(a, 8, 0, 0, b, 31, 0, 0), 1);
  EXPECT_EQ(ImagesOverlap(a, 8, 0, 0, b, 32, 0, 0), 0);
  SetDrawScale(1, 1);
}

TEST_F(Collide, RotatedOverlapLeavesTheDrawingTransformAsItWas) {
  const Ref<TImage> a = Solid(16, 16), b = Solid(16, 16);
  CenterImageAnchor(a);
  CenterImageAnchor(b);
  SetDrawTransform(10, 1.5f, 0.5f);
  // Turned by 45 degrees the square reaches 11.3 pixels from its centre,
  // 10.8 on the middle rows' centres.
  EXPECT_EQ(ImagesOverlapTransformed(a, 0, 0, 0, 45, 1, 1, b, 17, 0, 0, 0, 1, 1), 1);
  EXPECT_EQ(ImagesOverlapTransformed(a, 0, 0, 0, 0, 1, 1, b, 17, 0, 0, 0, 1, 1), 0);
  EXPECT_EQ(ImagesOverlapTransformed(a, 0, 0, 0, 45, 1, 1, b, 18, 0, 0, 0, 1, 1), 0);
  EXPECT_EQ(ImagesOverlapTransformed(a, 0, 0, 0, 45, 1, 1, b, 20, 0, 0, 0, 1, 1), 0);
  EXPECT_EQ(ImagesOverlapTransformed(a, 0, 0, 0, 0, 1, 1, b, 20, 0, 0, 0, 1.6f, 1), 1)
      << "b's own scale";
  EXPECT_FLOAT_EQ(GetDrawRotation(), 10);
  float sx, sy;
  GetDrawScale(sx, sy);
  EXPECT_FLOAT_EQ(sx, 1.5f);
  EXPECT_FLOAT_EQ(sy, 0.5f);
  const DrawMatrix m = CollisionTransform();
  const float c = std::cos(10 * std::numbers::pi_v<float> / 180);
  EXPECT_NEAR(m.ix, 1.5f * c, 1e-4f);
  EXPECT_NEAR(m.jy, 0.5f * c, 1e-4f);
}

TEST_F(Collide, RectanglesAndLayers) {
  auto id = [](const char* name) { return Ref<Object>(New<TStringObject>(String(name))); };
  // Two rectangles that share one pixel collide.
  CollideRectangle(0, 0, 10, 10, 0, 1 << 0, id("A"));
  EXPECT_EQ(Names(CollideRectangle(9, 9, 10, 10, 1, 0, nullptr)), std::vector<std::string>{"A"});
  EXPECT_TRUE(CollideRectangle(10, 0, 10, 10, 1, 0, nullptr).empty());

  // A rectangle meets an image only where the image is opaque.
  const Ref<TImage> disc = Disc(24);
  CollideImageFrame(disc, 100, 100, 0, 0, 1 << 2, id("disc"));
  EXPECT_TRUE(CollideRectangle(100, 100, 3, 3, 1 << 2, 0, nullptr).empty());
  EXPECT_EQ(CollideRectangle(110, 110, 3, 3, 1 << 2, 0, nullptr).size(), 1u);

  // Ids come layer by layer, newest first within a layer.
  CollideRectangle(0, 0, 10, 10, 0, 1 << 0 | 1 << 5 | COLLISION_LAYER_31, id("B"));
  CollideRectangle(0, 0, 10, 10, 0, 1 << 2, id("C"));
  EXPECT_EQ(Names(CollideRectangle(5, 5, 1, 1, ~0u, 0, nullptr)),
            (std::vector<std::string>{"B", "A", "C", "B", "B"}));

  ClearCollisionLayers(COLLISION_LAYER_31);
  EXPECT_EQ(Names(CollideRectangle(5, 5, 1, 1, ~0u, 0, nullptr)),
            (std::vector<std::string>{"B", "A", "C", "B"}));
  ClearCollisionLayers(1 << 0 | 1 << 2);
  EXPECT_EQ(Names(CollideRectangle(5, 5, 1, 1, ~0u, 0, nullptr)), std::vector<std::string>{"B"});
  ClearCollisionLayers(0);
  EXPECT_TRUE(CollideRectangle(5, 5, 1, 1, ~0u, 0, nullptr).empty());
}

TEST_F(Collide, DegenerateAndWildShapesAreHarmless) {
  const Ref<TImage> a = Solid(16, 16);
  EXPECT_TRUE(CollideRectangle(0, 0, 0, 10, 0, 1, nullptr).empty());
  EXPECT_TRUE(CollideRectangle(0, 0, 10, 0, 1, 0, nullptr).empty()) << "no area, no pixels";
  EXPECT_TRUE(CollideRectangle(NAN, 0, 10, 10, 1, 0, nullptr).empty());
  // Scaled far beyond the scan's range, both reach its edge and still meet
  // where both are.
  SetDrawScale(1e30f, 1e30f);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, a, 5, 5, 0), 1);
  SetDrawScale(1, 1);
  SetDrawRotation(NAN);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, a, 5, 5, 0), 0);
}

}  // namespace

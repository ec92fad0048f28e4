// The DirectX 7 driver under Wine on an X server (an 800 x 600 Xvfb), through
// the drawing layer: what is drawn reads back from the back buffer and shows
// on the screen after a flip, in full screen (also after the device was lost
// to another window and given back), in a window of its own and in a window
// it was attached to; surfaces lost without a change of focus come back, and
// a display that cannot be made leaves nothing behind.

#include "graphics/dx7/dx7_display.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "graphics/display/graphics.h"
#include "graphics/draw2d/draw_primitives.h"
#include "graphics/draw2d/draw_state.h"
#include "graphics/draw2d/image.h"
#include "graphics/dx7/dx7_draw.h"
#include "runtime/runtime_error.h"
#include "system/system_driver.h"
#include "tests/graphics/win32_screen.h"
#include "tests/system/win32_test_input.h"

namespace {

constexpr int IMAGE_WIDTH = 6, IMAGE_HEIGHT = 5;

// Every pixel different, in no power-of-two size, so that a texture read at
// the wrong texel or padded wrongly shows.
Ref<TPixmap> Picture() {
  const Ref<TPixmap> pixmap = CreatePixmap(IMAGE_WIDTH, IMAGE_HEIGHT, PIXFMT_RGBA32);
  for (int y = 0; y < IMAGE_HEIGHT; y++) {
    for (int x = 0; x < IMAGE_WIDTH; x++) {
      const int r = 20 + 40 * x, g = 250 - 45 * y, b = 90 + 25 * x + 7 * y;
      pixmap->WritePixel(x, y, static_cast<int>(0xFF000000u | r << 16 | g << 8 | b));
    }
  }
  return pixmap;
}

Rgb ColorOf(int argb) { return {argb >> 16 & 255, argb >> 8 & 255, argb & 255}; }

// The first pixel where the back buffer at (left, top) differs from the
// pixmap; empty when none does.
std::string BackBufferDiffers(int left, int top, const Ref<TPixmap>& expected) {
  const Ref<TPixmap> grabbed = GrabScreenPixmap(left, top, expected->Width(), expected->Height());
  for (int y = 0; y < expected->Height(); y++) {
    for (int x = 0; x < expected->Width(); x++) {
      const Rgb want = ColorOf(expected->ReadPixel(x, y)), got = ColorOf(grabbed->ReadPixel(x, y));
      if (!(got == want)) {
        return "at " + std::to_string(x) + "," + std::to_string(y) + ": " +
               testing::PrintToString(got) + " instead of " + testing::PrintToString(want);
      }
    }
  }
  return "";
}

// Whether the screen at (left, top) shows the pixmap.
bool ScreenShows(int left, int top, const Ref<TPixmap>& expected) {
  for (int y = 0; y < expected->Height(); y++) {
    for (int x = 0; x < expected->Width(); x++) {
      if (!(ScreenAt(left + x, top + y) == ColorOf(expected->ReadPixel(x, y)))) return false;
    }
  }
  return true;
}

// Counts what the context tells it.
struct DeviceRecorder : TDX7DeviceListener {
  void DeviceLost(TDX7Context&) override { lost++; }
  void DeviceRestored(TDX7Context&) override { restored++; }
  void DeviceReleased(TDX7Context&) override {}
  int lost = 0, restored = 0;
};

// Makes no device while told to refuse, and notes being asked then.
struct Refuser : TDX7Factory {
  HRESULT CreateDevice(IDirect3D7& direct3D, REFCLSID type, IDirectDrawSurface7* target,
                       IDirect3DDevice7** device) override {
    if (!refuse) return TDX7Factory::CreateDevice(direct3D, type, target, device);
    refused = true;
    return DDERR_OUTOFVIDEOMEMORY;
  }
  bool refuse = false, refused = false;
};

// The next call of one method of one of Wine's objects answers `failure`
// without reaching Wine: the object gets a copy of its method table with that
// method changed, and its own back at the call, or when this goes uncalled.
// One at a time.
struct FailNextCall {
  template <class Interface, class... Args>
  FailNextCall(Interface* object, HRESULT (STDMETHODCALLTYPE Interface::*method)(Args...),
               HRESULT failure)
      : self(reinterpret_cast<void***>(object)), own(*self), failure(failure) {
    std::memcpy(table, own, sizeof table);
    // A pointer to a virtual method holds 1 + its offset in the table (GCC's ABI).
    std::ptrdiff_t offset;
    std::memcpy(&offset, &method, sizeof offset);
    table[(offset - 1) / sizeof(void*)] = reinterpret_cast<void*>(&Answer<Args...>);
    *self = table;
    armed = this;
  }
  ~FailNextCall() {
    if (!called) *self = own;
  }
  template <class... Args>
  static HRESULT STDMETHODCALLTYPE Answer(void*** object, Args...) {
    armed->called = true;
    *object = armed->own;
    return armed->failure;
  }

  static inline FailNextCall* armed = nullptr;
  void*** self;
  void** own;
  HRESULT failure;
  bool called = false;
  void* table[49];  // as many as IDirectDrawSurface7 and IDirect3DDevice7 have
};

// A frame: cleared to the background, a yellow square at (10, 10) and the
// picture at (40, 30).
void DrawScene(const Ref<TImage>& image, Rgb background) {
  SetClearColor(background.r, background.g, background.b);
  ClearScreen();
  SetDrawColor(255, 255, 0);
  FillRect(10, 10, 8, 8);
  SetDrawColor(255, 255, 255);
  DrawImageFrame(image, 40, 30, 0);
}

// What DrawScene leaves at (8, 8): a border of background around the yellow
// square, and the picture at the bottom right.
Ref<TPixmap> SceneAt8And8(const Ref<TPixmap>& picture, Rgb background) {
  const int clear =
      static_cast<int>(0xFF000000u) | background.r << 16 | background.g << 8 | background.b;
  const Ref<TPixmap> scene =
      CreatePixmap(40 + IMAGE_WIDTH - 8, 30 + IMAGE_HEIGHT - 8, PIXFMT_RGBA32);
  for (int y = 0; y < scene->Height(); y++) {
    for (int x = 0; x < scene->Width(); x++) {
      const bool yellow = x >= 2 && x < 10 && y >= 2 && y < 10;
      scene->WritePixel(x, y, yellow ? static_cast<int>(0xFFFFFF00u) : clear);
    }
  }
  scene->Paste(*picture, 32, 22);
  return scene;
}

class Dx7DisplayTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!HasInteractiveDesktop()) GTEST_SKIP() << "No desktop to show windows on";
    StartSystem();
    StartDX7Draw2D();
    ASSERT_TRUE(DX7DrawDriver()) << "Wine has DirectDraw 7";
    SelectDisplayDriver(DX7DrawDriver(), DF_BACKBUFFER);
    title = std::string("DX7 ") + testing::UnitTest::GetInstance()->current_test_info()->name();
    SetAppTitle(String::FromBytes(title));
    picture = Picture();
    image = LoadImageFrom(picture, 0);
    SetImageAnchor(image, 0, 0);
    directFactory = std::exchange(Context().factory, &refuser);
  }

  void TearDown() override {
    CloseOpenedDisplay();
    PumpEvents();
    Context().factory = directFactory;
  }

  // Opens a full-screen display, or a window of 200 x 150, and shows a frame
  // in it; where its client area is on the screen.
  POINT OpenAndShow(bool fullScreen) {
    OpenDisplay(fullScreen ? 800 : 200, fullScreen ? 600 : 150, fullScreen ? 32 : 0, 0,
                DF_BACKBUFFER);
    POINT origin{0, 0};
    ClientToScreen(DisplayWindow(), &origin);
    if (CurrentDisplay()) DrawAndShow({60, 60, 60}, origin.x, origin.y);
    return origin;
  }

  // Draws a frame on the background, reads it back from the back buffer, and
  // waits for the screen to show it, with the display's top-left at (left,
  // top), after a flip and not before.
  void DrawAndShow(Rgb background, int left, int top) {
    SCOPED_TRACE("background " + testing::PrintToString(background));
    const Ref<TPixmap> scene = SceneAt8And8(picture, background);
    DrawScene(image, background);
    EXPECT_EQ(BackBufferDiffers(8, 8, scene), "");
    EXPECT_FALSE(ScreenShows(left + 8, top + 8, scene)) << "shown before the flip";
    FlipDisplay(0);
    EXPECT_TRUE(PumpUntil([&] { return ScreenShows(left + 8, top + 8, scene); }))
        << "the screen has " << testing::PrintToString(ScreenAt(left + 8, top + 8)) << " and "
        << testing::PrintToString(ScreenAt(left + 41, top + 31));
  }

  // The display's own window, found by its caption (the application title).
  HWND DisplayWindow() { return FindWindowA("ZorpDX7Display", title.c_str()); }
  static TDX7Context& Context() { return *DX7DisplayDriver()->context; }

  std::string title;
  Ref<TPixmap> picture;
  Ref<TImage> image;
  DeviceRecorder recorder;  // told until the display closes
  Refuser refuser;
  TDX7Factory* directFactory = nullptr;
};

TEST_F(Dx7DisplayTest, FullScreenLosesTheDeviceWithTheFocusAndDrawsAgainWithTheSameTextures) {
  OpenDisplay(800, 600, 32, 0, DF_BACKBUFFER);
  ASSERT_TRUE(CurrentDisplay());
  const HWND window = DisplayWindow();
  ASSERT_TRUE(window);
  ASSERT_TRUE(Context().FullScreen());
  DrawAndShow({60, 60, 60}, 0, 0);
  const Ref<TImageFrame> texture = image->Frame(0);
  ASSERT_EQ(Context().SetListener(&recorder), Context().device);

  // Another window takes the focus: the display gives the screen up and goes
  // to the task bar, its device lost.
  const HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(other);
  SetFocus(other);
  EXPECT_TRUE(PumpUntil([&] { return IsIconic(window) && recorder.lost == 1; }))
      << "lost " << recorder.lost;
  EXPECT_TRUE(Context().state & DX7_LOST);
  DeviceRecorder late;
  EXPECT_FALSE(Context().SetListener(&late)) << "no device while it is lost";

  // Hidden, the game's loop waits: presenting flips no lost surface.
  EXPECT_EQ(IsDisplayHidden(), 1);
  {
    FailNextCall flip(Context().primarySurface, &IDirectDrawSurface7::Flip, DD_OK);
    for (int i = 0; i < 3; i++) FlipDisplay(0);
    EXPECT_FALSE(flip.called);
  }

  ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
  SetFocus(window);
  EXPECT_TRUE(PumpUntil([&] {
    return !IsDisplayHidden() && GetFocus() == window && recorder.restored == 1;
  })) << "restored "
      << recorder.restored;
  EXPECT_FALSE(Context().state & DX7_LOST);
  EXPECT_EQ(late.lost + late.restored, 0) << "a listener is not kept while the device is lost";
  DestroyWindow(other);

  // The texture made before the loss draws the same picture; the next frame
  // shows.
  DrawAndShow({0, 0, 128}, 0, 0);
  EXPECT_EQ(image->Frame(0), texture);
}

TEST_F(Dx7DisplayTest, AWindowedDisplayShowsItsFrameInTheClientAreaWhereverTheWindowIs) {
  OpenDisplay(200, 150, 0, 0, DF_BACKBUFFER);
  ASSERT_TRUE(CurrentDisplay());
  const HWND window = DisplayWindow();
  ASSERT_TRUE(window);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 150);
  // This program carries no icon resource: its windows have none, and open.
  EXPECT_FALSE(GetClassLongPtrA(window, GCLP_HICON));
  EXPECT_FALSE(GetClassLongPtrA(window, GCLP_HICONSM));

  // Moved, the window shows the next frame at its new place: the copy goes
  // where the client area is at each flip, and as far as it lies on the
  // screen when the window reaches past its edge.
  const struct {
    POINT place;
    Rgb background;
  } moves[] = {{{30, 40}, {60, 60, 60}},
               {{420, 300}, {0, 128, 0}},
               {{400, 280}, {128, 0, 0}},
               {{740, 520}, {0, 0, 128}}};
  for (const auto& move : moves) {
    SetWindowPos(window, nullptr, move.place.x, move.place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    ASSERT_GE(origin.x, move.place.x);
    DrawAndShow(move.background, origin.x, origin.y);
  }
}

TEST_F(Dx7DisplayTest, AnAttachedDisplayPresentsIntoItsWindowsClientArea) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "ZorpDX7AttachTest";
  RegisterClassA(&windowClass);
  const HWND window =
      CreateWindowExA(0, "ZorpDX7AttachTest", "attached", WS_POPUP | WS_VISIBLE, 300, 200, 120, 90,
                      nullptr, nullptr, windowClass.hInstance, nullptr);
  ASSERT_TRUE(window);
  const Ref<TDisplay> display = AttachDisplay(reinterpret_cast<intptr_t>(window), DF_BACKBUFFER);
  ASSERT_TRUE(display);
  SetCurrentDisplay(display);
  EXPECT_EQ(DisplayWidth(), 120);
  EXPECT_EQ(DisplayHeight(), 90);

  DrawAndShow({60, 60, 60}, 300, 200);

  CloseDisplay(display);
  EXPECT_TRUE(IsWindow(window)) << "the window is its owner's";
  DestroyWindow(window);
}

TEST_F(Dx7DisplayTest, SurfacesLostWithoutAFocusChangeComeBackAndTheNextFramesShow) {
  // In full screen, Wine loses every surface when the mode is set, even to
  // the one it is in, and Flip says so: Restore brings them back. In a window
  // Wine reports no loss, so EndScene says it, and Restore refuses as after a
  // change of mode: they are made anew, with a new device that gets the
  // driver's whole state. While no device can be made the display is hidden.
  for (const bool fullScreen : {true, false}) {
    SCOPED_TRACE(fullScreen ? "restored in full screen" : "made anew in a window");
    const POINT origin = OpenAndShow(fullScreen);
    ASSERT_TRUE(CurrentDisplay());
    const Ref<TImageFrame> texture = image->Frame(0);

    testing::internal::CaptureStdout();
    if (fullScreen) {
      Context().directDraw->SetDisplayMode(800, 600, 32, 0, 0);
      FlipDisplay(0);
    } else {
      FailNextCall endScene(Context().device, &IDirect3DDevice7::EndScene, DDERR_SURFACELOST);
      FlipDisplay(0);
      FailNextCall restore(Context().primarySurface, &IDirectDrawSurface7::Restore,
                           DDERR_WRONGMODE);
      refuser.refuse = true;
      EXPECT_TRUE(IsDisplayHidden() && refuser.refused) << "hidden, being made anew";
      DrawScene(image, {0, 128, 0});  // with no device, drawn nowhere
      FlipDisplay(0);
      refuser.refuse = false;
    }
    EXPECT_EQ(IsDisplayHidden(), 0);
    std::string printed = testing::internal::GetCapturedStdout();
    std::erase(printed, '\r');
    EXPECT_EQ(printed, "device lost!\ndevice restored!\n");
    DrawAndShow({0, 0, 128}, origin.x, origin.y);
    EXPECT_EQ(image->Frame(0), texture);
    CloseOpenedDisplay();
  }
}

TEST_F(Dx7DisplayTest, ADisplayWhoseDeviceCannotBeMadeLeavesNothingBehind) {
  for (const bool fullScreen : {true, false}) {
    SCOPED_TRACE(fullScreen ? "full screen" : "window");
    refuser.refuse = true;
    // Nor is DirectDraw a driver at all where it makes no Direct3D device.
    EXPECT_FALSE(Context().CanMakeDevice());
    EXPECT_THROW(OpenAndShow(fullScreen), RuntimeError);
    EXPECT_FALSE(CurrentDisplay());
    EXPECT_FALSE(DisplayWindow());
    EXPECT_EQ(Context().state, DX7_CLOSED);

    refuser.refuse = false;
    OpenAndShow(fullScreen);
    EXPECT_TRUE(CurrentDisplay()) << "the same driver makes the next one";
    CloseOpenedDisplay();
  }
}

}  // namespace

// The DirectX 7 driver under Wine on an X server (an 800 x 600 Xvfb), through
// the drawing layer: what is drawn reads back from the back buffer and shows
// on the screen after a flip, in full screen (also after the device was lost
// to another window and given back), in a window of its own and in a window
// it was attached to; surfaces lost without a change of focus come back, and
// a display that cannot be made leaves nothing behind. Wine loses no surface
// by itself: a forwarding primary surface and a recording device in front of
// Wine's own answer the calls that fail.

#include "graphics/dx7/dx7_display.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "graphics/display/graphics.h"
#include "graphics/draw2d/draw_primitives.h"
#include "graphics/draw2d/draw_state.h"
#include "graphics/draw2d/image.h"
#include "graphics/dx7/dx7_draw.h"
#include "runtime/runtime_error.h"
#include "system/system_driver.h"
#include "tests/graphics/dx7_fake_device.h"
#include "tests/graphics/dx7_forwarding_surface.h"
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

// Puts a forwarding primary surface and a recording device in front of each
// that Wine makes for the context, or refuses to make them.
struct Interposer : TDX7Factory {
  HRESULT CreateSurface(IDirectDraw7& directDraw, DDSURFACEDESC2& desc,
                        IDirectDrawSurface7** surface) override {
    const bool primary = desc.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE;
    if (primary && refuse == "CreateSurface") return DDERR_OUTOFVIDEOMEMORY;
    const HRESULT result = TDX7Factory::CreateSurface(directDraw, desc, surface);
    if (FAILED(result) || !primary) return result;
    primaries.push_back(std::make_unique<ForwardingSurface>(*surface));
    *surface = primaries.back().get();
    return result;
  }
  HRESULT CreateDevice(IDirect3D7& direct3D, REFCLSID type, IDirectDrawSurface7* target,
                       IDirect3DDevice7** device) override {
    if (refuse == "CreateDevice") return DDERR_OUTOFVIDEOMEMORY;
    const HRESULT result = TDX7Factory::CreateDevice(direct3D, type, target, device);
    if (FAILED(result)) return result;
    devices.push_back(std::make_unique<FakeD3DDevice>());
    devices.back()->inner = *device;
    *device = devices.back().get();
    return result;
  }

  std::string refuse;  // "CreateSurface" (the primary), "CreateDevice" or none
  std::vector<std::unique_ptr<ForwardingSurface>> primaries;
  std::vector<std::unique_ptr<FakeD3DDevice>> devices;
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
    directFactory = Context().factory;
  }

  void TearDown() override {
    CloseOpenedDisplay();
    PumpEvents();
    Context().factory = directFactory;
  }

  // Opens a full-screen display, or a window of 200 x 150, made through the
  // interposer.
  void Open(bool fullScreen) {
    Context().factory = &interposer;
    OpenDisplay(fullScreen ? 800 : 200, fullScreen ? 600 : 150, fullScreen ? 32 : 0, 0,
                DF_BACKBUFFER);
  }

  // Where the display's client area is on the screen.
  POINT Origin() {
    POINT origin{0, 0};
    ClientToScreen(DisplayWindow(), &origin);
    return origin;
  }

  // Frames as the game runs them, until the screen shows one: none while
  // the display is hidden, when it waits for messages instead.
  bool PlayUntilShown(Rgb background, POINT origin) {
    return PumpUntil([&] {
      if (IsDisplayHidden()) {
        WaitEventsFor(50);
        return false;
      }
      DrawScene(image, background);
      FlipDisplay(0);
      return ScreenAt(origin.x + 8, origin.y + 8) == background;
    });
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
  Interposer interposer;
  TDX7Factory* directFactory = nullptr;
};

TEST_F(Dx7DisplayTest, FullScreenLosesTheDeviceWithTheFocusAndDrawsAgainWithTheSameTextures) {
  Open(true);
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

  // Hidden, the display presents nothing and touches no surface.
  EXPECT_EQ(IsDisplayHidden(), 1);
  const size_t primaryCalls = interposer.primaries.back()->calls.size();
  const size_t deviceCalls = interposer.devices.back()->calls.size();
  for (int i = 0; i < 3; i++) FlipDisplay(0);
  EXPECT_EQ(interposer.primaries.back()->calls.size(), primaryCalls);
  EXPECT_EQ(interposer.devices.back()->calls.size(), deviceCalls);

  const int regained = ClockMillis();
  ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
  SetFocus(window);
  EXPECT_TRUE(PlayUntilShown({0, 128, 0}, {0, 0})) << "no frame shown after the focus came back";
  std::printf("From the focus regained to a frame shown: %d ms\n",
              MillisSince(regained, ClockMillis()));
  EXPECT_TRUE(!IsIconic(window) && GetFocus() == window);
  EXPECT_EQ(recorder.restored, 1);
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
  // Where Restore cannot bring the surfaces back (DDERR_WRONGMODE, after a
  // change of mode) they are made anew with a new device, which gets the
  // driver's whole state; while that fails, the display is hidden.
  const struct {
    const char* call;
    bool fullScreen;
    HRESULT restore;
  } cases[] = {
      {"BeginScene", true, DD_OK},     {"EndScene", true, DDERR_WRONGMODE},
      {"Flip", true, DDERR_WRONGMODE}, {"BeginScene", false, DDERR_WRONGMODE},
      {"EndScene", false, DD_OK},      {"Blt", false, DD_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.call) + (c.fullScreen ? " in full screen" : " in a window") +
                 (c.restore == DD_OK ? ", restored" : ", made anew"));
    Open(c.fullScreen);
    ASSERT_TRUE(CurrentDisplay());
    const POINT origin = Origin();
    DrawAndShow({60, 60, 60}, origin.x, origin.y);
    const Ref<TImageFrame> texture = image->Frame(0);

    const bool scene = std::string(c.call).ends_with("Scene");
    auto& script =
        scene ? interposer.devices.back()->failOnce : interposer.primaries.back()->failOnce;
    script[c.call] = DDERR_SURFACELOST;
    if (c.restore != DD_OK) {
      interposer.primaries.back()->failOnce["Restore"] = c.restore;
      interposer.refuse = "CreateDevice";
    }
    // What is printed is read back afterwards: nothing is checked meanwhile.
    testing::internal::CaptureStdout();
    DrawScene(image, {0, 128, 0});
    FlipDisplay(0);
    int hiddenWithoutDevice = 1;
    if (c.restore != DD_OK) {
      hiddenWithoutDevice = IsDisplayHidden();
      // Drawn meanwhile, a frame goes nowhere.
      DrawScene(image, {0, 128, 0});
      FlipDisplay(0);
      interposer.refuse.clear();
    }
    const int hidden = IsDisplayHidden();
    std::string printed = testing::internal::GetCapturedStdout();
    std::erase(printed, '\r');
    EXPECT_EQ(hiddenWithoutDevice, 1);
    EXPECT_EQ(hidden, 0);
    EXPECT_EQ(printed, "device lost!\ndevice restored!\n");
    DrawAndShow({0, 0, 128}, origin.x, origin.y);
    EXPECT_FALSE(Context().Lost());
    EXPECT_EQ(image->Frame(0), texture);
    CloseOpenedDisplay();
  }
}

TEST_F(Dx7DisplayTest, ADisplayWhoseSurfacesCannotBeMadeLeavesNothingBehind) {
  // Nor is DirectDraw a driver at all where it makes no Direct3D device.
  Context().factory = &interposer;
  interposer.refuse = "CreateDevice";
  EXPECT_FALSE(Context().CanMakeDevice());

  for (const char* refused : {"CreateSurface", "CreateDevice"}) {
    for (const bool fullScreen : {true, false}) {
      SCOPED_TRACE(std::string(refused) + (fullScreen ? " in full screen" : " in a window"));
      interposer.refuse = refused;
      EXPECT_THROW(Open(fullScreen), RuntimeError);
      EXPECT_FALSE(CurrentDisplay());
      EXPECT_FALSE(DisplayWindow());
      EXPECT_EQ(Context().state, DX7_CLOSED);

      // The same driver makes the next one.
      interposer.refuse.clear();
      Open(fullScreen);
      ASSERT_TRUE(CurrentDisplay());
      const POINT origin = Origin();
      DrawAndShow({60, 60, 60}, origin.x, origin.y);
      CloseOpenedDisplay();
    }
  }
}

}  // namespace

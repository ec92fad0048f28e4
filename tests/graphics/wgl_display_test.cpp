// The WGL window-system layer under Wine on an X server (an 800 x 600 Xvfb):
// windows where they are asked for, OpenGL drawing read back from the back
// buffer and from the screen, full screen, attached windows, the focus, and
// the keys the display window keeps or lets through.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/display/display.h"
#include "graphics/gl/gl_display.h"
#include "graphics/gl/gl_platform.h"
#include "graphics/gl/wgl/wgl_pixel_format.h"
#include "runtime/program.h"
#include "runtime/runtime_error.h"
#include "system/event.h"
#include "system/hook.h"
#include "system/system_driver.h"
#include "tests/system/win32_test_input.h"
// After windows.h, which it needs.
#include <GL/gl.h>

#include "tests/graphics/textured_quad.h"
#include "tests/graphics/win32_screen.h"

namespace {

std::vector<std::string> seen;

Ref<Object> Record(int, const Ref<Object>& data, const Ref<Object>&) {
  const Ref<TEvent> e = Cast<TEvent>(data);
  const std::string text = e->ToString().ToUtf8();
  seen.push_back(text.substr(0, text.find(':')) + " " + std::to_string(e->data));
  return data;
}

bool PumpUntilSeen(const std::string& event) {
  return PumpUntil([&] {
    for (const std::string& e : seen) {
      if (e == event) return true;
    }
    return false;
  });
}

// The back buffer at (x, y), GL's bottom-left origin.
Rgb BackBufferAt(int x, int y) {
  unsigned char pixel[4] = {};
  glReadBuffer(GL_BACK);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  return {pixel[0], pixel[1], pixel[2]};
}

void Fill(float r, float g, float b) {
  glClearColor(r, g, b, 1);
  glClear(GL_COLOR_BUFFER_BIT);
}

class WglDisplayTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!HasInteractiveDesktop()) GTEST_SKIP() << "No desktop to show windows on";
    StartSystem();
    StartGLDisplay();
    title = std::string("WGL ") + testing::UnitTest::GetInstance()->current_test_info()->name();
    SetAppTitle(String::FromBytes(title));
    InsertHook(EventHookId(), Record, nullptr, 0);
  }

  void TearDown() override {
    RemoveHook(EventHookId(), Record);
    if (display) display->Close();
    GLDisplayDriver()->SetDisplay(nullptr);
    PumpEvents();
    seen.clear();
  }

  // The display's window, found by its caption (the application title).
  HWND DisplayWindow() { return FindWindowA("ZorpGLDisplay", title.c_str()); }

  std::string title;
  Ref<TDisplay> display;
};

TEST_F(WglDisplayTest, ADesktopWindowHasItsClientAreaAt32And32AndDraws) {
  display = GLDisplayDriver()->Create(320, 240, 0, 0, DF_BACKBUFFER);
  ASSERT_TRUE(display);
  const HWND window = DisplayWindow();
  ASSERT_TRUE(window);
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 240);
  EXPECT_EQ(origin.x, 32);
  EXPECT_EQ(origin.y, 32);
  const DisplaySettings settings = display->GetSettings();
  EXPECT_EQ(settings.width, 320);
  EXPECT_EQ(settings.height, 240);
  EXPECT_EQ(settings.depth, 0);
  EXPECT_EQ(settings.flags, DF_BACKBUFFER);

  GLDisplayDriver()->SetDisplay(display);
  Fill(1, 0, 0);
  EXPECT_EQ(BackBufferAt(5, 5), (Rgb{255, 0, 0}));
  GLDisplayDriver()->Flip(0);
  EXPECT_TRUE(PumpUntil([] {
    return ScreenAt(32 + 5, 32 + 5) == Rgb{255, 0, 0};
  })) << testing::PrintToString(ScreenAt(37, 37));

  // Closing leaves no context current and the window gone; twice is harmless.
  display->Close();
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
  EXPECT_FALSE(IsWindow(window));
  display->Close();
  GLDisplayDriver()->SetDisplay(nullptr);
  GLDisplayDriver()->Flip(1);  // nothing current: nothing happens
}

// An icon's pixels, top row first, as 0xAARRGGBB; its width is the root of
// the count.
std::vector<uint32_t> IconPixels(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {};
  BITMAP bitmap{};
  GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = bitmap.bmWidth;
  format.bmiHeader.biHeight = -bitmap.bmHeight;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(size_t(bitmap.bmWidth) * bitmap.bmHeight);
  const HDC screen = GetDC(nullptr);
  if (bitmap.bmWidth != bitmap.bmHeight ||
      GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, pixels.data(), &format,
                DIB_RGB_COLORS) != bitmap.bmHeight) {
    pixels.clear();
  }
  ReleaseDC(nullptr, screen);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return pixels;
}

// This program carries the game's icon resource, as zorp.exe does: the
// display window's class shows it at the system's big and small sizes, the
// zorp's purple on a tile with clear corners.
TEST_F(WglDisplayTest, TheWindowClassHasTheProgramsIconAtTheSystemsSizes) {
  display = GLDisplayDriver()->Create(320, 240, 0, 0, DF_BACKBUFFER);
  ASSERT_TRUE(display);
  const HWND window = DisplayWindow();
  ASSERT_TRUE(window);
  const struct {
    int index, metric;
  } icons[] = {{GCLP_HICON, SM_CXICON}, {GCLP_HICONSM, SM_CXSMICON}};
  for (const auto& which : icons) {
    const HICON icon = reinterpret_cast<HICON>(GetClassLongPtrA(window, which.index));
    ASSERT_TRUE(icon) << which.index;
    const std::vector<uint32_t> pixels = IconPixels(icon);
    const int size = GetSystemMetrics(which.metric);
    ASSERT_EQ(pixels.size(), size_t(size) * size) << which.index;
    EXPECT_LE(pixels.front() >> 24, 8u) << "an all but clear corner";
    EXPECT_EQ(pixels[size_t(size / 2) * size + size / 2] >> 24, 0xFFu) << "an opaque middle";
    const auto purple = std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) {
      const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
      return b > g + 40 && r > g + 20;
    });
    EXPECT_GE(purple, size * size * 15 / 100) << which.index;
  }
}

TEST_F(WglDisplayTest, FullScreenCoversTheScreenAndGivesItUpWithTheFocus) {
  bool listed = false;
  for (const Ref<TGraphicsMode>& mode : GLDisplayDriver()->GraphicsModes()) {
    EXPECT_GE(mode->depth, 16);
    listed |= mode->width == 800 && mode->height == 600;
  }
  EXPECT_TRUE(listed) << "the screen's own mode";

  display = GLDisplayDriver()->Create(800, 600, 32, 0, DF_BACKBUFFER);
  ASSERT_TRUE(display);
  const HWND window = DisplayWindow();
  ASSERT_TRUE(window);
  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 800);
  EXPECT_EQ(rect.bottom, 600);
  EXPECT_EQ(GetFocus(), window);
  GLDisplayDriver()->SetDisplay(display);
  Fill(0, 1, 0);
  GLDisplayDriver()->Flip(1);
  EXPECT_TRUE(PumpUntil([] {
    return ScreenAt(400, 300) == Rgb{0, 255, 0};
  })) << testing::PrintToString(ScreenAt(400, 300));

  // Another window takes the focus: the display gives the screen back and
  // goes to the task bar; it takes both again when it gets the focus back.
  const HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetFocus(other);
  EXPECT_TRUE(PumpUntil([&] { return IsIconic(window); }));
  ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
  SetFocus(window);
  EXPECT_TRUE(PumpUntil([&] { return !IsIconic(window) && GetFocus() == window; }));
  DestroyWindow(other);

  display->Close();
  EXPECT_FALSE(IsWindow(window));
}

// Xvfb's screen has one mode: 640 x 480 is added (for good: Wine lists it).
constexpr char ADD_SMALL_MODE[] =
    "xrandr | grep -q zorp-640x480 || { xrandr --newmode zorp-640x480 25.18 640 656 752 800 480 "
    "490 492 525 -hsync -vsync && xrandr --addmode $(xrandr | awk '/ connected/ { print $1; exit "
    "}') zorp-640x480; }";

// A run-time error's message shows on the desktop in its own mode.
TEST_F(WglDisplayTest, TheDesktopHasItsModeBackBeforeARunTimeErrorIsShown) {
  ASSERT_TRUE(!RunningUnderWine() || RunOnHost(ADD_SMALL_MODE));
  display = GLDisplayDriver()->Create(640, 480, 32, 0, DF_BACKBUFFER);
  ASSERT_TRUE(display);
  ASSERT_TRUE(PumpUntil([] { return GetSystemMetrics(SM_CXSCREEN) == 640; }));
  static bool smallWhenShown = true;
  SetErrorNotice([](const String&) { smallWhenShown = GetSystemMetrics(SM_CXSCREEN) == 640; });
  ReportRuntimeError("Failed to load graphics!");
  SetErrorNotice(nullptr);
  EXPECT_FALSE(smallWhenShown);
}

// DefWindowProc starts the screen saver, sleeps the monitor or opens the window
// menu after asking the thread's CBT hook, which here notes and stops it.
TEST_F(WglDisplayTest, TheWindowRefusesTheScreenSaverTheMonitorsSleepAndTheWindowMenu) {
  display = GLDisplayDriver()->Create(200, 100, 0, 0, DF_BACKBUFFER);
  ASSERT_TRUE(display);
  static std::vector<WPARAM> passed;
  const HHOOK hook = SetWindowsHookExA(
      WH_CBT,
      [](int code, WPARAM wParam, LPARAM) -> LRESULT {
        if (code == HCBT_SYSCOMMAND) passed.push_back(wParam & 0xFFF0);
        return code == HCBT_SYSCOMMAND;
      },
      nullptr, GetCurrentThreadId());
  for (WPARAM command : {SC_SCREENSAVE, SC_MONITORPOWER, SC_KEYMENU, SC_RESTORE}) {
    SendMessageA(DisplayWindow(), WM_SYSCOMMAND, command, command == SC_MONITORPOWER ? 2 : 0);
  }
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(passed, std::vector<WPARAM>{SC_RESTORE}) << "only the harmless one";
}

// Windows' own renderer draws in software: set only when no card's format fits.
TEST(WglPixelFormat, AcceleratedFormatsComeBeforeWindowsOwnRenderer) {
  constexpr DWORD FITS = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  PIXELFORMATDESCRIPTOR unused{}, card{}, generic{}, single{};
  card.dwFlags = FITS;
  generic.dwFlags = FITS | PFD_GENERIC_FORMAT;
  single.dwFlags = FITS & ~PFD_DOUBLEBUFFER;
  EXPECT_EQ(WglPreferredFormat({unused, generic, card}, 1, DF_BACKBUFFER), 2);
  EXPECT_EQ(WglPreferredFormat({unused, card, card}, 2, DF_BACKBUFFER), 2);
  EXPECT_EQ(WglPreferredFormat({unused, generic, single}, 1, DF_BACKBUFFER), 1);
}

TEST_F(WglDisplayTest, AModeTheScreenCannotTakeRaisesAndLeavesNoWindow) {
  try {
    display = GLDisplayDriver()->Create(1000, 700, 32, 0, DF_BACKBUFFER);
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Message(), "GLGraphicsDriver failed to set display mode");
  }
  EXPECT_FALSE(DisplayWindow());
  // A refresh rate the screen lacks is dropped rather than failing.
  display = GLDisplayDriver()->Create(800, 600, 32, 75, DF_BACKBUFFER);
  EXPECT_TRUE(display);
}

TEST_F(WglDisplayTest, AnAttachedWindowIsDrawnAndReportsItsSizeEachTime) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_OWNDC;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "ZorpAttachTest";
  RegisterClassA(&windowClass);
  const HWND window =
      CreateWindowExA(0, "ZorpAttachTest", "attached", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200,
                      nullptr, nullptr, windowClass.hInstance, nullptr);
  ASSERT_TRUE(window);
  EXPECT_FALSE(GLDisplayDriver()->Attach(0x1234, DF_BACKBUFFER)) << "no such window";

  display = GLDisplayDriver()->Attach(reinterpret_cast<intptr_t>(window), DF_BACKBUFFER);
  ASSERT_TRUE(display);
  EXPECT_EQ(display->GetSettings().width, 300);
  EXPECT_EQ(display->GetSettings().height, 200);
  SetWindowPos(window, nullptr, 0, 0, 400, 250, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(display->GetSettings().width, 400);
  EXPECT_EQ(display->GetSettings().height, 250);

  GLDisplayDriver()->SetDisplay(display);
  Fill(0, 0, 1);
  EXPECT_EQ(BackBufferAt(10, 10), (Rgb{0, 0, 255}));
  GLDisplayDriver()->Flip(0);
  EXPECT_TRUE(PumpUntil([] {
    return ScreenAt(110, 110) == Rgb{0, 0, 255};
  })) << testing::PrintToString(ScreenAt(110, 110));

  display->Close();
  EXPECT_TRUE(IsWindow(window)) << "the window is its owner's";
  DestroyWindow(window);
}

TEST_F(WglDisplayTest, TexturesMadeInTheSharedContextDrawInEveryDisplay) {
  display = GLDisplayDriver()->Create(64, 64, 0, 0, DF_BACKBUFFER);
  ASSERT_TRUE(display);
  GLDisplayDriver()->SetDisplay(display);
  EXPECT_NE(gldisplay_share_group(), 0);

  GLuint texture = 0;
  GLDisplayDriver()->ToggleSharedContext();
  const HGLRC sharedContext = wglGetCurrentContext();
  const unsigned char yellow[4 * 4] = {255, 255, 0, 255, 255, 255, 0, 255,
                                       255, 255, 0, 255, 255, 255, 0, 255};
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, yellow);
  glFinish();
  GLDisplayDriver()->ToggleSharedContext();
  EXPECT_NE(wglGetCurrentContext(), sharedContext);

  Fill(0, 0, 0);
  DrawTextureOverViewport(texture);
  EXPECT_EQ(BackBufferAt(32, 32), (Rgb{255, 255, 0}));

  // Deleted through the layer, from the display's context.
  gldisplay_delete_textures(gldisplay_share_group(), 1, &texture);
  EXPECT_FALSE(glIsTexture(texture));
}

TEST_F(WglDisplayTest, TheSwapIntervalFollowsSync) {
  display = GLDisplayDriver()->Create(64, 64, 0, 0, DF_BACKBUFFER);
  ASSERT_TRUE(display);
  GLDisplayDriver()->SetDisplay(display);
  using GetSwapIntervalEXT = int(WINAPI*)();
  const auto get = reinterpret_cast<GetSwapIntervalEXT>(
      reinterpret_cast<void (*)()>(wglGetProcAddress("wglGetSwapIntervalEXT")));
  if (!get) GTEST_SKIP() << "No WGL_EXT_swap_control here";
  for (int sync : {1, 0, 2, 0}) {
    GLDisplayDriver()->Flip(sync);
    EXPECT_EQ(get(), sync ? 1 : 0) << "after Flip(" << sync << ")";
  }
}

TEST_F(WglDisplayTest, AltF4GetsThroughAndAltAloneOpensNoMenu) {
  display = GLDisplayDriver()->Create(200, 100, 0, 0, DF_BACKBUFFER);
  ASSERT_TRUE(display);
  const HWND window = DisplayWindow();
  ASSERT_TRUE(window);
  ASSERT_TRUE(FocusWindow(window));
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == window; }));
  PumpEvents();
  seen.clear();

  // A menu opened by Alt would take the next key.
  ASSERT_TRUE(TypeInput("key 64 key 38"));
  ASSERT_TRUE(PumpUntilSeen("KeyUp 65")) << testing::PrintToString(seen);
  EXPECT_EQ(seen, (std::vector<std::string>{"KeyDown 164", "KeyUp 164", "KeyDown 65", "KeyChar 97",
                                            "KeyUp 65"}));
  seen.clear();
  ASSERT_TRUE(TypeInput("keydown 64 key 70 keyup 64"));
  ASSERT_TRUE(PumpUntilSeen("AppTerminate 0")) << testing::PrintToString(seen);
  EXPECT_TRUE(IsWindow(window)) << "the program closes its display when it is ready to";
}

}  // namespace

// The OpenGL display driver against a real X server and Mesa: what reaches
// the screen is read back from the window or the root window.
//
// The full-screen scaling needs a screen bigger than 800 x 600; those tests
// run in a child process against ZORP_LARGE_DISPLAY.

#include <gtest/gtest.h>
// After GoogleTest, whose names Xlib's macros (None, Bool) would replace.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
// The engine's DisplayWidth() and DisplayHeight(), not Xlib's macros.
#undef DisplayWidth
#undef DisplayHeight
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "graphics/display/graphics.h"
#include "graphics/gl/gl_display.h"
#include "system/event.h"
#include "system/hook.h"
#include "system/system_driver.h"
#include "system/x11/x11_connection.h"
#include "tests/graphics/textured_quad.h"
#include "tests/support/keep_mesa_loaded.h"
#include "tests/support/x11_property.h"

extern char** environ;

namespace {

constexpr const char* CHILD_MARK = "ZORP_GL_DISPLAY_LARGE_CHILD";

constexpr uint32_t RED = 0xff0000, GREEN = 0x00ff00, BLUE = 0x0000ff, WHITE = 0xffffff,
                   BLACK = 0x000000;

void Clear(uint32_t rgb) {
  glClearColor(((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
}

// The display's four quadrants: red, green (top), blue, white (bottom).
void DrawQuadrants(int width, int height) {
  glViewport(0, 0, width, height);
  glEnable(GL_SCISSOR_TEST);
  const int w = width / 2, h = height / 2;
  const struct {
    int x, y;
    uint32_t rgb;
  } quadrants[] = {{0, h, RED}, {w, h, GREEN}, {0, 0, BLUE}, {w, 0, WHITE}};
  for (const auto& q : quadrants) {
    glScissor(q.x, q.y, w, h);
    Clear(q.rgb);
  }
  glDisable(GL_SCISSOR_TEST);
}

// Window pixel (x, y), top-down, of the back buffer.
uint32_t BackPixel(int x, int y, int windowHeight) {
  unsigned char rgba[4] = {};
  glReadBuffer(GL_BACK);
  glReadPixels(x, windowHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return static_cast<uint32_t>(rgba[0] << 16 | rgba[1] << 8 | rgba[2]);
}

class Screenshot {
 public:
  Screenshot(Display* display, Window window, int width, int height) {
    XSync(display, False);
    image_ = XGetImage(display, window, 0, 0, static_cast<unsigned>(width),
                       static_cast<unsigned>(height), AllPlanes, ZPixmap);
  }
  ~Screenshot() {
    if (image_) XDestroyImage(image_);
  }
  Screenshot(const Screenshot&) = delete;
  Screenshot& operator=(const Screenshot&) = delete;
  bool Valid() const { return image_ != nullptr; }
  uint32_t At(int x, int y) const {
    const unsigned long p = XGetPixel(image_, x, y);
    return static_cast<uint32_t>(Channel(p, image_->red_mask) << 16 |
                                 Channel(p, image_->green_mask) << 8 |
                                 Channel(p, image_->blue_mask));
  }

 private:
  static unsigned Channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) shift++;
    const unsigned long value = (pixel & mask) >> shift, max = mask >> shift;
    return static_cast<unsigned>(value * 255 / max);
  }
  XImage* image_ = nullptr;
};

std::string Hex(uint32_t rgb) {
  char text[16];
  snprintf(text, sizeof text, "%06x", rgb);
  return text;
}

#define EXPECT_RGB(expected, actual) EXPECT_EQ(Hex(expected), Hex(actual))

// The four quadrants of a width x height picture as shown at scale s from
// (x0, y0).
void ExpectQuadrants(const Screenshot& shot, int x0, int y0, double s, int width = 800,
                     int height = 600) {
  const auto at = [&](int x, int y) {
    return shot.At(x0 + static_cast<int>(x * s), y0 + static_cast<int>(y * s));
  };
  EXPECT_RGB(RED, at(width / 4, height / 4));
  EXPECT_RGB(GREEN, at(width * 3 / 4, height / 4));
  EXPECT_RGB(BLUE, at(width / 4, height * 3 / 4));
  EXPECT_RGB(WHITE, at(width * 3 / 4, height * 3 / 4));
  // The corners reach the edges of the area: nothing is cut or blurred away.
  EXPECT_RGB(RED, shot.At(x0, y0));
  EXPECT_RGB(WHITE,
             shot.At(x0 + static_cast<int>(width * s) - 1, y0 + static_cast<int>(height * s) - 1));
}

std::vector<std::pair<int, int>> moves;

Ref<Object> RecordMove(int, const Ref<Object>& data, const Ref<Object>&) {
  const Ref<TEvent> event = Cast<TEvent>(data);
  if (event && event->id == EVENT_MOUSEMOVE) moves.emplace_back(event->x, event->y);
  return data;
}

class GLDisplayTest : public testing::Test {
 protected:
  void SetUp() override {
    StartSystem();
    StartGLDisplay();
    x = X11Display();
    if (!x) GTEST_SKIP() << "No X server could be opened; set DISPLAY to one (an Xvfb)";
    driver = GLDisplayDriver();
    screenWidth = XDisplayWidth(x, DefaultScreen(x));
    screenHeight = XDisplayHeight(x, DefaultScreen(x));
    // Full screen goes to the monitor under the pointer.
    XWarpPointer(x, 0, DefaultRootWindow(x), 0, 0, 0, 0, 1, 1);
  }

  void TearDown() override {
    if (!x) return;
    KeepMesaLoaded();
    SelectDisplayDriver(driver, DF_BACKBUFFER);
    CloseOpenedDisplay();
    for (const Ref<TDisplay>& d : made) d->Close();
    for (Window w : windows) XDestroyWindow(x, w);
    XSync(x, False);
    PumpEvents();
  }

  Ref<TDisplay> Create(int width, int height, int depth, int flags = DF_BACKBUFFER) {
    Ref<TDisplay> d = driver->Create(width, height, depth, 0, flags);
    if (d) made.push_back(d);
    return d;
  }

  Ref<TDisplay> Attach(Window window, int flags = DF_BACKBUFFER) {
    Ref<TDisplay> d = driver->Attach(static_cast<intptr_t>(window), flags);
    if (d) made.push_back(d);
    return d;
  }

  // A mapped window of the caller's, with a GL visual of its own.
  Window OwnWindow(int width, int height, bool doubleBuffered) {
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, 0};
    if (!doubleBuffered) attributes[1] = 0;
    XVisualInfo* visual = glXChooseVisual(x, DefaultScreen(x), attributes);
    EXPECT_NE(visual, nullptr);
    if (!visual) return 0;
    XSetWindowAttributes a{};
    a.colormap = XCreateColormap(x, DefaultRootWindow(x), visual->visual, AllocNone);
    Window w = XCreateWindow(x, DefaultRootWindow(x), 0, 0, static_cast<unsigned>(width),
                             static_cast<unsigned>(height), 0, visual->depth, InputOutput,
                             visual->visual, CWColormap, &a);
    XFree(visual);
    XMapWindow(x, w);
    XSync(x, False);
    windows.push_back(w);
    return w;
  }

  static Window CurrentWindow() { return static_cast<Window>(glXGetCurrentDrawable()); }

  Display* x = nullptr;
  Ref<TGLDisplayDriver> driver;
  int screenWidth = 0, screenHeight = 0;
  std::vector<Ref<TDisplay>> made;
  std::vector<Window> windows;
};

// Runs only in the child that the launcher below starts on the big screen.
class GLDisplayLargeScreenTest : public GLDisplayTest {
 protected:
  void SetUp() override {
    if (!getenv(CHILD_MARK)) GTEST_SKIP() << "Runs in a child process on ZORP_LARGE_DISPLAY";
    GLDisplayTest::SetUp();
    if (!IsSkipped() && (screenWidth != 1920 || screenHeight != 1080)) {
      GTEST_FAIL() << "ZORP_LARGE_DISPLAY should be 1920 x 1080, is " << screenWidth << " x "
                   << screenHeight;
    }
  }
};

TEST_F(GLDisplayTest, EveryKindOpensDrawsFlipsAndCloses) {
  const Window own = OwnWindow(320, 240, true);
  // One at a time: the window read back must not be covered.
  struct Case {
    const char* name;
    std::function<Ref<TDisplay>()> open;
    int width, height;
  } cases[] = {
      {"attached", [&] { return Attach(own); }, 320, 240},
      {"desktop", [&] { return Create(640, 480, 0); }, 640, 480},
      {"full screen", [&] { return Create(screenWidth, screenHeight, 32); }, screenWidth,
       screenHeight},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Ref<TDisplay> display = c.open();
    ASSERT_TRUE(display);
    driver->SetDisplay(display);
    ASSERT_NE(glXGetCurrentContext(), nullptr);
    ASSERT_NE(glGetString(GL_VERSION), nullptr);
    const Window window = CurrentWindow();
    DrawQuadrants(c.width, c.height);
    // Changing sync must only use swap controls the server lists; anything
    // else raises an X error that ends the process.
    for (int sync : {1, 0, 0, 1, 0}) driver->Flip(sync);
    DrawQuadrants(c.width, c.height);
    driver->Flip(0);
    Screenshot shot(x, window, c.width, c.height);
    ASSERT_TRUE(shot.Valid());
    EXPECT_RGB(RED, shot.At(c.width / 4, c.height / 4));
    EXPECT_RGB(WHITE, shot.At(c.width * 3 / 4, c.height * 3 / 4));

    display->Close();
    EXPECT_EQ(glXGetCurrentContext(), nullptr) << "closing the current display releases it";
    display->Close();
    driver->Flip(1);  // nothing current: nothing happens
    const DisplaySettings closed = display->GetSettings();
    EXPECT_EQ(closed.width, 0);
    driver->SetDisplay(display);
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
  }
  XWindowAttributes attributes{};
  EXPECT_TRUE(XGetWindowAttributes(x, own, &attributes)) << "an attached window stays";
}

TEST_F(GLDisplayTest, FullScreenWindowCoversTheScreenAndTakesTheFocus) {
  const Ref<TDisplay> d = Create(screenWidth, screenHeight, 32);
  ASSERT_TRUE(d);
  const DisplaySettings s = d->GetSettings();
  EXPECT_EQ(s.width, screenWidth);
  EXPECT_EQ(s.height, screenHeight);
  EXPECT_EQ(s.depth, 32);
  driver->SetDisplay(d);
  const Window window = CurrentWindow();
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(x, window, &a));
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(a.width, screenWidth);
  EXPECT_EQ(a.height, screenHeight);
  EXPECT_EQ(a.border_width, 0);
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(x, &focus, &revert);
  EXPECT_EQ(focus, window);
  // Shown 1:1: the picture is exactly where it was drawn.
  DrawQuadrants(screenWidth, screenHeight);
  driver->Flip(0);
  Screenshot shot(x, DefaultRootWindow(x), screenWidth, screenHeight);
  ASSERT_TRUE(shot.Valid());
  ExpectQuadrants(shot, 0, 0, 1.0, screenWidth, screenHeight);

  // Iconified (unmapped, as a window manager does it), the display is hidden
  // until it is shown again.
  const auto hiddenBecomes = [&](bool hidden) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (d->IsHidden() != hidden && std::chrono::steady_clock::now() < deadline) {
      WaitEventsFor(10);
    }
    return d->IsHidden() == hidden;
  };
  EXPECT_FALSE(d->IsHidden());
  XUnmapWindow(x, window);
  EXPECT_TRUE(hiddenBecomes(true));
  XMapWindow(x, window);
  EXPECT_TRUE(hiddenBecomes(false));
}

TEST_F(GLDisplayTest, DesktopWindowIsAFixedWindowAt32With800x600ClientArea) {
  SetAppTitle("Zorp test");
  const Ref<TDisplay> d = Create(800, 600, 0, DF_BACKBUFFER | DF_DEPTHBUFFER);
  ASSERT_TRUE(d);
  const DisplaySettings s = d->GetSettings();
  EXPECT_EQ(s.width, 800);
  EXPECT_EQ(s.height, 600);
  EXPECT_EQ(s.depth, 0);
  EXPECT_EQ(s.flags, DF_BACKBUFFER | DF_DEPTHBUFFER);
  driver->SetDisplay(d);
  GLint depthBits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  EXPECT_GE(depthBits, 1);
  const Window window = CurrentWindow();

  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(x, window, &a));
  EXPECT_EQ(a.width, 800);
  EXPECT_EQ(a.height, 600);
  int rootX = -1, rootY = -1;
  Window child = 0;
  XTranslateCoordinates(x, window, DefaultRootWindow(x), 0, 0, &rootX, &rootY, &child);
  EXPECT_EQ(rootX, 32);
  EXPECT_EQ(rootY, 32);

  char* name = nullptr;
  ASSERT_TRUE(XFetchName(x, window, &name));
  EXPECT_STREQ(name, "Zorp test");
  XFree(name);
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(x, window, &hints, &supplied));
  EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize)) << "not resizable";
  EXPECT_EQ(hints.min_width, 800);
  EXPECT_EQ(hints.max_width, 800);
  EXPECT_EQ(hints.max_height, 600);
  Atom* protocols = nullptr;
  int count = 0;
  ASSERT_TRUE(XGetWMProtocols(x, window, &protocols, &count));
  ASSERT_EQ(count, 1);
  EXPECT_EQ(protocols[0], X11DeleteWindowAtom());
  XFree(protocols);
}

// A pixmap whose pixel (x, y) is 0xAARRGGBB with red x, green y and blue the
// size; alpha runs from clear at the top to opaque at the bottom.
Ref<TPixmap> IconPixmap(int size, int format) {
  Ref<TPixmap> pixmap = TPixmap::Create(size, size, format);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x)
      pixmap->WritePixel(x, y,
                         static_cast<int>(uint32_t(y * 255 / (size - 1)) << 24 | x << 16 | y << 8 |
                                          uint32_t(size)));
  }
  return pixmap;
}

TEST_F(GLDisplayTest, WindowsCarryTheProgramsClassAndIconWhenItHasOne) {
  SetAppTitle("Zorp test");
  SetAppIcon({});
  const Ref<TDisplay> plain = Create(320, 240, 0);
  ASSERT_TRUE(plain);
  driver->SetDisplay(plain);
  const Window plainWindow = CurrentWindow();
  EXPECT_TRUE(X11CardinalProperty(x, plainWindow, "_NET_WM_ICON").empty());
  XClassHint hint{};
  ASSERT_TRUE(XGetClassHint(x, plainWindow, &hint));
  EXPECT_STREQ(hint.res_name, "gl_display_tests") << "the program file's name";
  EXPECT_STREQ(hint.res_class, "Zorp test");
  XFree(hint.res_name);
  XFree(hint.res_class);
  plain->Close();

  // Pixmaps of any format; a null one is left out. Xlib hands the 32-bit
  // items over in longs, which are 64 bits wide here: a mistake in that
  // shows as sizes or pixels out of place.
  SetAppIcon({IconPixmap(16, PIXFMT_RGBA32), Ref<TPixmap>(), IconPixmap(32, PIXFMT_BGRA32),
              IconPixmap(48, PIXFMT_RGB24)});
  for (int depth : {0, 32}) {
    SCOPED_TRACE(depth ? "full screen" : "desktop");
    const Ref<TDisplay> d = depth ? Create(screenWidth, screenHeight, 32) : Create(320, 240, 0);
    ASSERT_TRUE(d);
    driver->SetDisplay(d);
    const std::vector<uint32_t> icon = X11CardinalProperty(x, CurrentWindow(), "_NET_WM_ICON");
    ASSERT_EQ(icon.size(), 2 + 16 * 16 + 2 + 32 * 32 + 2 + 48 * 48);
    size_t at = 0;
    for (int size : {16, 32, 48}) {
      ASSERT_EQ(icon[at], uint32_t(size));
      ASSERT_EQ(icon[at + 1], uint32_t(size));
      const auto pixel = [&](int px, int py) { return icon[at + 2 + size_t(py) * size + px]; };
      // Alpha only where the format has it.
      const uint32_t opaque = size == 48 ? 0xFF000000 : 0;
      EXPECT_EQ(pixel(0, 0), opaque | uint32_t(size)) << size;
      EXPECT_EQ(pixel(size - 1, size - 1),
                0xFF000000 | uint32_t(size - 1) << 16 | uint32_t(size - 1) << 8 | uint32_t(size))
          << size;
      EXPECT_EQ(pixel(3, size - 1) & 0xFFFFFF, 3u << 16 | uint32_t(size - 1) << 8 | uint32_t(size))
          << size;
      at += 2 + size_t(size) * size;
    }
    d->Close();
  }
  SetAppIcon({});
}

TEST_F(GLDisplayTest, AttachedDisplayFollowsItsWindowAndNeedsAMatchingVisual) {
  const Window window = OwnWindow(300, 200, true);
  const Ref<TDisplay> d = Attach(window);
  ASSERT_TRUE(d);
  DisplaySettings s = d->GetSettings();
  EXPECT_EQ(s.width, 300);
  EXPECT_EQ(s.height, 200);
  EXPECT_EQ(s.depth, 0);
  EXPECT_EQ(s.flags, DF_BACKBUFFER);

  XResizeWindow(x, window, 420, 260);
  XSync(x, False);
  s = d->GetSettings();
  EXPECT_EQ(s.width, 420);
  EXPECT_EQ(s.height, 260);
  driver->SetDisplay(d);
  EXPECT_EQ(CurrentWindow(), window);
  glViewport(0, 0, 420, 260);
  Clear(GREEN);
  EXPECT_RGB(GREEN, BackPixel(410, 250, 260));

  // A context cannot render into a window of another visual, nor into none.
  EXPECT_FALSE(Attach(OwnWindow(64, 64, false), DF_BACKBUFFER));
  EXPECT_FALSE(Attach(window + 0x100000));
  EXPECT_FALSE(Attach(0));
}

TEST_F(GLDisplayTest, TextureMadeInTheSharedContextDrawsInEveryDisplay) {
  const Ref<TDisplay> first = Create(64, 64, 0), second = Create(64, 64, 0);
  ASSERT_TRUE(first && second);
  driver->SetDisplay(first);
  const GLXContext firstContext = glXGetCurrentContext();

  driver->ToggleSharedContext();
  const GLXContext sharedContext = glXGetCurrentContext();
  ASSERT_NE(sharedContext, nullptr);
  EXPECT_NE(sharedContext, firstContext);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  const uint32_t texels[4] = {0xff0000ff, 0xff00ff00, 0xffff0000, 0xffffffff};  // ABGR in memory
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glFinish();
  driver->ToggleSharedContext();
  EXPECT_EQ(glXGetCurrentContext(), firstContext);

  for (const Ref<TDisplay>& d : {first, second}) {
    driver->SetDisplay(d);
    glViewport(0, 0, 64, 64);
    Clear(BLACK);
    DrawTextureOverViewport(texture);
    // Texture row 0 is the bottom of the quad.
    EXPECT_RGB(RED, BackPixel(16, 48, 64));
    EXPECT_RGB(GREEN, BackPixel(48, 48, 64));
    EXPECT_RGB(BLUE, BackPixel(16, 16, 64));
    EXPECT_RGB(WHITE, BackPixel(48, 16, 64));
    driver->Flip(0);
  }
  EXPECT_NE(glXGetCurrentContext(), firstContext);
  driver->ToggleSharedContext();
  driver->ToggleSharedContext();
  EXPECT_NE(glXGetCurrentContext(), sharedContext) << "back to the current display";
  glDeleteTextures(1, &texture);
}

TEST_F(GLDisplayTest, ModeListFitsTheScreen) {
  const auto modes = driver->GraphicsModes();
  ASSERT_FALSE(modes.empty());
  EXPECT_LE(modes.size(), 1024u);
  bool has800x600 = false, hasScreen = false;
  for (const Ref<TGraphicsMode>& m : modes) {
    SCOPED_TRACE(m->ToString().ToUtf8());
    EXPECT_GE(m->depth, 16);
    EXPECT_GT(m->hz, 0);
    EXPECT_LE(m->width, screenWidth);
    EXPECT_LE(m->height, screenHeight);
    has800x600 |= m->width == 800 && m->height == 600;
    hasScreen |= m->width == screenWidth && m->height == screenHeight;
  }
  EXPECT_TRUE(has800x600);
  EXPECT_TRUE(hasScreen);
}

TEST_F(GLDisplayTest, OpenDisplayAt75HzIsPacedBySleeping) {
  const int before = DisplaySequence();
  GLOpenDisplay(800, 600, 32, 75, 0);
  ASSERT_TRUE(OpenedDisplay());
  EXPECT_EQ(CurrentDisplayDriver(), driver);
  const int opened = DisplaySequence();
  EXPECT_NE(opened, before);

  // Xvfb has no vertical blank, so the clock paces the frames.
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  int flips = 0;
  while (Clock::now() - start < std::chrono::seconds(1)) {
    FlipDisplay(-1);
    flips++;
  }
  EXPECT_NEAR(flips, 75, 2);

  CloseOpenedDisplay();
  EXPECT_NE(DisplaySequence(), opened);
  EXPECT_EQ(glXGetCurrentContext(), nullptr);
}

TEST_F(GLDisplayTest, LargeScreenTestsPassOnZorpLargeDisplay) {
  const char* large = getenv("ZORP_LARGE_DISPLAY");
  if (!large || !*large) GTEST_SKIP() << "Set ZORP_LARGE_DISPLAY to a 1920 x 1080 X server";
  if (getenv(CHILD_MARK)) GTEST_SKIP() << "Already the child";
  std::vector<std::string> env;
  for (char** e = environ; *e; e++) {
    if (!std::string(*e).starts_with("DISPLAY=")) env.emplace_back(*e);
  }
  env.push_back(std::string("DISPLAY=") + large);
  env.push_back(std::string(CHILD_MARK) + "=1");
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string self = "/proc/self/exe", filter = "--gtest_filter=GLDisplayLargeScreenTest.*";
  char* argv[] = {self.data(), filter.data(), nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, envp.data()), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the large-screen tests failed; their output is above";
}

TEST_F(GLDisplayLargeScreenTest, FullScreen800x600IsScaledWithBarsAndKeepsTheGLState) {
  const Ref<TDisplay> d = Create(800, 600, 32);
  ASSERT_TRUE(d);
  driver->SetDisplay(d);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 800) << "GL coordinates are the display's";
  EXPECT_EQ(viewport[3], 600);

  // Red, green, blue and white quadrants; then state the 2D driver would hold.
  DrawQuadrants(800, 600);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glEnable(GL_BLEND);
  glEnable(GL_SCISSOR_TEST);
  glScissor(10, 20, 30, 40);
  glViewport(0, 0, 800, 600);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 800, 600, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glColor4f(0.5f, 0.25f, 1, 1);

  driver->Flip(0);
  Screenshot shot(x, DefaultRootWindow(x), 1920, 1080);
  ASSERT_TRUE(shot.Valid());
  // 800 x 600 at 1.8 is 1440 x 1080, with bars of 240 left and right.
  ExpectQuadrants(shot, 240, 0, 1.8);
  for (int y : {0, 540, 1079}) {
    for (int x : {0, 120, 239, 1680, 1800, 1919}) {
      EXPECT_RGB(BLACK, shot.At(x, y)) << x << "," << y;
    }
  }

  GLint binding = 0, mode = 0, scissor[4] = {};
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  glGetIntegerv(GL_SCISSOR_BOX, scissor);
  glGetIntegerv(GL_VIEWPORT, viewport);
  GLfloat projection[16] = {}, colour[4] = {};
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(static_cast<GLuint>(binding), texture);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_TRUE(glIsEnabled(GL_BLEND) && glIsEnabled(GL_SCISSOR_TEST));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(scissor[0], 10);
  EXPECT_EQ(scissor[3], 40);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_FLOAT_EQ(projection[0], 2.0f / 800);
  EXPECT_FLOAT_EQ(colour[1], 0.25f);
  glDeleteTextures(1, &texture);

  // A second frame: the scaled copy does not depend on the first.
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_BLEND);
  Clear(GREEN);
  driver->Flip(1);
  Screenshot second(x, DefaultRootWindow(x), 1920, 1080);
  EXPECT_RGB(GREEN, second.At(960, 540));
  EXPECT_RGB(BLACK, second.At(239, 540));
}

TEST_F(GLDisplayLargeScreenTest, PointerPositionsAreInDisplayPixels) {
  int unused[4];
  if (!XTestQueryExtension(x, &unused[0], &unused[1], &unused[2], &unused[3])) {
    GTEST_SKIP() << "The X server has no XTEST extension";
  }
  const Ref<TDisplay> d = Create(800, 600, 32);
  ASSERT_TRUE(d);
  InsertHook(EventHookId(), RecordMove, nullptr, 0);
  moves.clear();
  // The display's (200, 150) and (799, 599) on the screen.
  XTestFakeMotionEvent(x, -1, 240 + 360, 270, CurrentTime);
  XTestFakeMotionEvent(x, -1, 240 + 1439, 1079, CurrentTime);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (moves.size() < 2 && std::chrono::steady_clock::now() < deadline) {
    XSync(x, False);
    PumpEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  RemoveHook(EventHookId(), RecordMove);
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[0], std::make_pair(200, 150));
  EXPECT_EQ(moves[1], std::make_pair(799, 599));
}

std::vector<int> eventIds;

Ref<Object> RecordId(int, const Ref<Object>& data, const Ref<Object>&) {
  eventIds.push_back(Cast<TEvent>(data)->id);
  return data;
}

TEST_F(GLDisplayLargeScreenTest, PointerWarpsAndLeavesInDisplayPixels) {
  const Ref<TDisplay> d = Create(800, 600, 32);
  ASSERT_TRUE(d);
  // The display's centre is the screen's centre.
  SetMousePosition(400, 300);
  Window root = 0, child = 0;
  int rootX = 0, rootY = 0, winX = 0, winY = 0;
  unsigned mask = 0;
  XQueryPointer(x, DefaultRootWindow(x), &root, &child, &rootX, &rootY, &winX, &winY, &mask);
  EXPECT_EQ(rootX, 960);
  EXPECT_EQ(rootY, 540);

  // Over the black bar the pointer has left the display.
  InsertHook(EventHookId(), RecordId, nullptr, 0);
  eventIds.clear();
  XTestFakeMotionEvent(x, -1, 960, 500, CurrentTime);
  XTestFakeMotionEvent(x, -1, 1800, 500, CurrentTime);  // the right-hand bar
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (std::count(eventIds.begin(), eventIds.end(), EVENT_MOUSELEAVE) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    XSync(x, False);
    PumpEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  RemoveHook(EventHookId(), RecordId);
  EXPECT_EQ(std::count(eventIds.begin(), eventIds.end(), EVENT_MOUSELEAVE), 1);
}

TEST_F(GLDisplayLargeScreenTest, ModesGoUpToTheScreenSize) {
  const auto modes = driver->GraphicsModes();
  std::vector<std::string> sizes;
  for (const Ref<TGraphicsMode>& m : modes) {
    sizes.push_back(std::to_string(m->width) + "x" + std::to_string(m->height));
    EXPECT_EQ(m->hz, 60) << "Xvfb reports no rate";
  }
  const std::vector<std::string> expected = {"640x480",  "800x600",  "1024x768",
                                             "1280x720", "1280x800", "1280x1024",
                                             "1366x768", "1600x900", "1920x1080"};
  EXPECT_EQ(sizes, expected);
}

}  // namespace

// The real program, end to end: zorp runs full screen on the X server with
// the OpenGL driver and ALSA's null device, and the test plays it through
// XTest key presses, looks at the screen, and reads the files it saves.

#include <gtest/gtest.h>
// After GoogleTest, whose names Xlib's macros would replace.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

struct Rgb {
  int r, g, b;
};

class Screen {
 public:
  explicit Screen(Display* display) : display_(display) {}
  ~Screen() { Release(); }

  // Reads the whole screen.
  void Grab() {
    Release();
    const Window root = DefaultRootWindow(display_);
    XWindowAttributes attributes;
    XGetWindowAttributes(display_, root, &attributes);
    image_ = XGetImage(display_, root, 0, 0, static_cast<unsigned>(attributes.width),
                       static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  }
  Rgb At(int x, int y) const {
    const unsigned long p = XGetPixel(image_, x, y);
    return {static_cast<int>(p >> 16 & 255), static_cast<int>(p >> 8 & 255),
            static_cast<int>(p & 255)};
  }
  // Pixels of about the colour inside the rectangle: the artwork's white is
  // shaded a little before the drawing colour tints it.
  int Count(int x0, int y0, int x1, int y1, Rgb colour) const {
    constexpr int TOLERANCE = 40;
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const Rgb p = At(x, y);
        n += std::abs(p.r - colour.r) <= TOLERANCE && std::abs(p.g - colour.g) <= TOLERANCE &&
             std::abs(p.b - colour.b) <= TOLERANCE;
      }
    }
    return n;
  }

 private:
  void Release() {
    if (image_) XDestroyImage(image_);
    image_ = nullptr;
  }
  Display* display_;
  XImage* image_ = nullptr;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class Play : public testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    if (!display_) GTEST_SKIP() << "No X server; set DISPLAY to one (an Xvfb)";
    int event, error, major, minor;
    ASSERT_TRUE(XTestQueryExtension(display_, &event, &error, &major, &minor));
    program_ = dir_ / "zorp";
    std::filesystem::copy_file(ZORP_PROGRAM, program_);
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (display_) XCloseDisplay(display_);
  }

  void Start() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string variable = *e;
      if (variable.rfind("ZORP_AUDIO_DEVICE=", 0) != 0 && variable.rfind("ASAN_OPTIONS=", 0) != 0) {
        env.push_back(variable);
      }
    }
    env.push_back("ZORP_AUDIO_DEVICE=null");
    // Under AddressSanitizer: Mesa unloads its driver at exit, and what it
    // held then reads as leaked; the program's own leaks show in the other
    // tests.
    env.push_back("ASAN_OPTIONS=detect_leaks=0");
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char* argv[] = {program_.data(), nullptr};
    // Started from another folder: the program finds its files by itself.
    ASSERT_EQ(posix_spawn(&pid_, program_.c_str(), nullptr, nullptr, argv, envp.data()), 0);
  }

  void Key(KeySym sym, std::chrono::milliseconds hold = 30ms) {
    const KeyCode code = XKeysymToKeycode(display_, sym);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XFlush(display_);
    std::this_thread::sleep_for(hold);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XFlush(display_);
    std::this_thread::sleep_for(60ms);
  }

  // Waits until the screen shows what until looks for.
  bool WaitFor(const std::function<bool(const Screen&)>& until,
               std::chrono::milliseconds limit = 15000ms) {
    Screen screen(display_);
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      screen.Grab();
      if (until(screen)) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

  int Exit() {
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
      std::this_thread::sleep_for(100ms);
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = 0;
    return code;
  }

  TempDir dir_;
  std::string program_;
  Display* display_ = nullptr;
  pid_t pid_ = 0;
};

// Screen positions of the title screen's texts: the play area starts at
// (4, 44).
constexpr Rgb MAGENTA{255, 128, 255}, ORANGE{255, 128, 0}, GREEN{0, 255, 0}, YELLOW{255, 255, 0},
    CYAN{128, 255, 255}, WHITE{255, 255, 255};

bool TitleShown(const Screen& s) {
  return s.Count(100, 44 + 428, 700, 44 + 452, MAGENTA) > 50 &&
         s.Count(100, 44 + 326, 700, 44 + 350, ORANGE) > 50;
}

TEST_F(Play, AWholeGameFromTheIntroToTheSavedHallOfFame) {
  // A hall of fame of low scores, so that even a game without points enters
  // it (below the 0 at rank 6).
  std::string seeded;
  for (int i = 0; i < 10; ++i) seeded += std::to_string(50 - 10 * i) + "\r\nLOW\r\n";
  std::ofstream(dir_ / "scores.dat", std::ios::binary) << seeded;
  Start();

  // The loading screen and intro; Space skips the intro.
  std::this_thread::sleep_for(1500ms);
  Key(XK_space);
  ASSERT_TRUE(WaitFor(TitleShown)) << "the title screen with its texts in their colours";
  {
    Screen screen(display_);
    screen.Grab();
    EXPECT_GT(screen.Count(6, 8, 120, 40, GREEN), 20) << "the best score, top left, in green";
    EXPECT_GT(screen.Count(4, 44 + 56, 796, 44 + 80, YELLOW), 50) << "the first rank";
  }

  // A game: Get Ready, then the zorp runs left; pause and resume.
  Key(XK_space);
  std::this_thread::sleep_for(2600ms);
  auto pausedLabel = [](const Screen& s) { return s.Count(330, 44 + 306, 480, 44 + 332, WHITE); };
  Screen before(display_);
  before.Grab();
  const int whiteBefore = pausedLabel(before);
  Key(XK_p);
  EXPECT_TRUE(WaitFor([&](const Screen& s) { return pausedLabel(s) > whiteBefore + 40; }, 3000ms))
      << "PAUSED shows";
  Key(XK_p);
  EXPECT_TRUE(WaitFor([&](const Screen& s) { return pausedLabel(s) < whiteBefore + 40; }, 3000ms))
      << "and goes";

  // Up into the top wall: death, Game Over, then the hall of fame.
  Key(XK_Up, 100ms);
  ASSERT_TRUE(WaitFor(
      [](const Screen& s) { return s.Count(4, 44 + 356, 796, 44 + 380, CYAN) > 50; }, 20000ms))
      << "CONGRATULATIONS";
  for (KeySym k : {XK_e, XK_2, XK_e, XK_BackSpace, XK_E}) Key(k);
  Key(XK_Return);
  ASSERT_TRUE(WaitFor(TitleShown));
  Key(XK_Escape);
  EXPECT_EQ(Exit(), 0);

  std::string expected;
  for (int i = 0; i < 10; ++i) {
    const int score = i < 6 ? 50 - 10 * i : i == 6 ? 0 : 50 - 10 * (i - 1);
    expected += std::to_string(score) + "\r\n" + (i == 6 ? "E2E" : "LOW") + "\r\n";
  }
  EXPECT_EQ(ReadBytes(dir_ / "scores.dat"), expected);
  EXPECT_EQ(ReadBytes(dir_ / "config.ini"), std::string("\0\0\0\0", 4));
}

TEST_F(Play, ClosingTheSessionSavesTheHallOfFame) {
  Start();
  std::this_thread::sleep_for(1500ms);
  Key(XK_Escape);
  ASSERT_TRUE(WaitFor(TitleShown));
  kill(pid_, SIGTERM);
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(ReadBytes(dir_ / "scores.dat").substr(0, 28), "500000\r\nQUILLMOOR SOFTWARE\r\n");
}

}  // namespace

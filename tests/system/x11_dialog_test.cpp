// The X11 driver's dialogs against a real X server: the message box answered
// through XTest from a second connection, and the choosers and opener with
// stand-in programs on PATH that record their arguments.

#include <gtest/gtest.h>
// After GoogleTest, whose names Xlib's macros (None, Bool) would replace.
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "system/system_driver.h"
#include "system/x11/x11_connection.h"
#include "system/x11/x11_message_box.h"
#include "system/x11/x11_system_driver.h"
#include "tests/support/temp_dir.h"

namespace {

std::string NameOf(Display* display, Window window) {
  char* name = nullptr;
  if (!XFetchName(display, window, &name) || !name) return "";
  std::string out = name;
  XFree(name);
  return out;
}

Window FindBox(Display* display, const std::string& title) {
  Window root = None, parent = None, found = None;
  Window* children = nullptr;
  unsigned count = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes{};
    if (NameOf(display, children[i]) == title &&
        XGetWindowAttributes(display, children[i], &attributes) &&
        attributes.map_state == IsViewable) {
      found = children[i];
    }
  }
  if (children) XFree(children);
  return found;
}

// Waits for the box to be up and holding the keyboard.
Window WaitForBox(Display* display, const std::string& title) {
  for (int i = 0; i < 500; ++i) {
    const Window box = FindBox(display, title);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (box != None && focus == box) return box;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return None;
}

void CloseRequest(Display* display, Window box) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = box;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  XSendEvent(display, box, False, NoEventMask, &event);
  XSync(display, False);
}

// Runs the dialog on this thread while remote acts on it from a connection of
// its own. A box that never takes the focus is closed so the test ends.
template <class Ask>
int WithBox(const String& title, Ask ask, const std::function<void(Display*, Window)>& remote) {
  SetAppTitle(title);
  std::thread other([&] {
    Display* display = XOpenDisplay(nullptr);
    // WM_NAME holds Latin-1.
    if (const Window box = WaitForBox(display, title.ToBytes()); box != None) {
      remote(display, box);
    } else {
      ADD_FAILURE() << "no focused box titled " << title;
      if (const Window shown = FindBox(display, title.ToBytes())) CloseRequest(display, shown);
    }
    XSync(display, False);
    XCloseDisplay(display);
  });
  const int answer = ask();
  other.join();
  return answer;
}

void Key(Display* display, KeySym sym, bool down = true, bool up = true) {
  const KeyCode code = XKeysymToKeycode(display, sym);
  if (down) XTestFakeKeyEvent(display, code, True, CurrentTime);
  if (up) XTestFakeKeyEvent(display, code, False, CurrentTime);
  XSync(display, False);
}

void Keys(Display* display, std::initializer_list<KeySym> syms) {
  for (KeySym sym : syms) Key(display, sym);
}

// The centre of the box's button, on the screen.
void PointAt(Display* display, Window box, const String& text, MessageBoxButtons buttons,
             size_t index) {
  const MessageBoxRect r = LayoutMessageBox(display, text, buttons).buttons.at(index);
  int x = 0, y = 0;
  Window child = None;
  XTranslateCoordinates(display, box, DefaultRootWindow(display), r.x + r.width / 2,
                        r.y + r.height / 2, &x, &y, &child);
  XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
  XSync(display, False);
}

void Click(Display* display, bool down = true, bool up = true) {
  if (down) XTestFakeButtonEvent(display, Button1, True, CurrentTime);
  if (up) XTestFakeButtonEvent(display, Button1, False, CurrentTime);
  XSync(display, False);
}

class X11Dialog : public ::testing::Test {
 protected:
  void SetUp() override {
    probe_ = XOpenDisplay(nullptr);
    if (!probe_) GTEST_SKIP() << "no X server";
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(probe_, &event, &error, &major, &minor)) GTEST_SKIP() << "no XTest";
    ASSERT_NE(X11Display(), nullptr);
    XSetInputFocus(probe_, PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(probe_, False);
  }
  void TearDown() override {
    if (probe_) XCloseDisplay(probe_);
  }

  Display* probe_ = nullptr;
  TX11SystemDriver driver_;
};

TEST_F(X11Dialog, AnswersFromTheKeyboard) {
  struct Case {
    bool yesNo;
    std::initializer_list<KeySym> keys;
    int answer;
  };
  const Case cases[] = {
      {false, {XK_Return}, 1},          {false, {XK_Escape}, 0}, {false, {XK_Tab, XK_space}, 0},
      {true, {XK_Return}, 1},           {true, {XK_Escape}, -1}, {true, {XK_Tab, XK_Return}, 0},
      {true, {XK_Left, XK_Return}, -1}, {true, {XK_o, XK_n}, 0},
  };
  for (const Case& c : cases) {
    const String title = String("keys ") + String::FromInt(&c - cases);
    const int answer = WithBox(
        title,
        [&] {
          return c.yesNo ? driver_.AskYesNoCancel("Save the game first?", false)
                         : driver_.AskOkCancel("Start over?", true);
        },
        [&](Display* display, Window) { Keys(display, c.keys); });
    EXPECT_EQ(answer, c.answer) << title;
  }
}

TEST_F(X11Dialog, AnswersFromTheMouse) {
  const String text = "The high score table could not be written.";
  auto click = [&](MessageBoxButtons buttons, size_t index) {
    return [=, &text](Display* display, Window box) {
      PointAt(display, box, text, buttons, index);
      Click(display);
    };
  };
  EXPECT_EQ(WithBox(
                "mouse cancel", [&] { return driver_.AskYesNoCancel(text, true); },
                click(MESSAGE_BOX_YES_NO_CANCEL, 2)),
            -1);
  EXPECT_EQ(WithBox(
                "mouse ok", [&] { return driver_.AskOkCancel(text, false); },
                click(MESSAGE_BOX_OK_CANCEL, 0)),
            1);
  // A press taken off its button before the release chooses nothing.
  EXPECT_EQ(WithBox(
                "mouse slip", [&] { return driver_.AskYesNoCancel(text, false); },
                [&](Display* display, Window box) {
                  PointAt(display, box, text, MESSAGE_BOX_YES_NO_CANCEL, 0);
                  Click(display, true, false);
                  XTestFakeMotionEvent(display, DefaultScreen(display), 0, 0, CurrentTime);
                  Click(display, false, true);
                  Key(display, XK_Escape);
                }),
            -1);
}

TEST_F(X11Dialog, CloseRequestCancels) {
  // With no window of the game, the box is centred on the screen.
  EXPECT_EQ(WithBox(
                "close yes/no", [&] { return driver_.AskYesNoCancel("Quit?", false); },
                [](Display* display, Window box) {
                  XWindowAttributes attributes{};
                  XGetWindowAttributes(display, box, &attributes);
                  EXPECT_EQ(attributes.x, (DisplayWidth(display, 0) - attributes.width) / 2);
                  EXPECT_EQ(attributes.y, (DisplayHeight(display, 0) - attributes.height) / 2);
                  CloseRequest(display, box);
                }),
            -1);
  EXPECT_EQ(WithBox(
                "close ok", [&] { return driver_.AskOkCancel("Quit?", false); }, CloseRequest),
            0);
  EXPECT_EQ(WithBox(
                "close notice",
                [&] {
                  driver_.Notice("Failed to load graphics!", true);
                  return 7;
                },
                CloseRequest),
            7);
}

// Title, placement, ownership and focus; and the game's own events stay
// queued for its pump while the box runs.
TEST_F(X11Dialog, SitsOverTheGameWindowAndLeavesItsEventsQueued) {
  Display* game = X11Display();
  const Window window =
      XCreateSimpleWindow(game, DefaultRootWindow(game), 100, 50, 500, 400, 0, 0, 0);
  RegisterX11Window(
      window, [](const XEvent&, void*) {}, nullptr);
  XMapWindow(game, window);
  XSync(game, False);
  for (int i = 0; i < 200; ++i) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(game, window, &attributes);
    if (attributes.map_state == IsViewable) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  XSetInputFocus(game, window, RevertToPointerRoot, CurrentTime);
  XSync(game, False);

  const String title = u"Zorp \u00e9t\u00e9";
  const String text = "Overwrite the saved game?";
  Window shown = None;
  const int answer = WithBox(
      title, [&] { return driver_.AskOkCancel(text, false); },
      [&](Display* display, Window box) {
        shown = box;
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* name = nullptr;
        XGetWindowProperty(display, box, XInternAtom(display, "_NET_WM_NAME", False), 0, 64, False,
                           XInternAtom(display, "UTF8_STRING", False), &type, &format, &count,
                           &after, &name);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(name), count), "Zorp \xC3\xA9t\xC3\xA9");
        if (name) XFree(name);

        Window owner = None;
        EXPECT_TRUE(XGetTransientForHint(display, box, &owner));
        EXPECT_EQ(owner, window);
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, box, &attributes);
        EXPECT_EQ(attributes.x, 100 + (500 - attributes.width) / 2);
        EXPECT_EQ(attributes.y, 50 + (400 - attributes.height) / 2);

        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 42;
        XSendEvent(display, window, False, NoEventMask, &event);
        XSync(display, False);
        Key(display, XK_Return);
      });
  EXPECT_EQ(answer, 1);

  Window focus = None;
  int revert = 0;
  XGetInputFocus(game, &focus, &revert);
  EXPECT_EQ(focus, window);
  XEvent event{};
  ASSERT_TRUE(XCheckTypedWindowEvent(game, window, ClientMessage, &event));
  EXPECT_EQ(event.xclient.data.l[0], 42);
  EXPECT_FALSE(XCheckWindowEvent(game, shown, ~0L, &event));
  EXPECT_EQ(FindBox(probe_, title.ToBytes()), None) << "the box is destroyed";

  UnregisterX11Window(window);
  XDestroyWindow(game, window);
  XSync(game, False);
}

TEST_F(X11Dialog, IgnoresAKeyHeldWhenItOpens) {
  Key(probe_, XK_Return, true, false);
  const int answer = WithBox(
      "held", [&] { return driver_.AskOkCancel("Continue?", false); },
      [](Display* display, Window) {
        // Past the server's auto-repeat delay, so repeats arrive.
        std::this_thread::sleep_for(std::chrono::milliseconds(900));
        Key(display, XK_Return, false, true);
        Key(display, XK_Escape);
      });
  EXPECT_EQ(answer, 0);
}

TEST(X11DialogLayout, WrapsAndFitsTheTextAndKeepsTheButtonsInside) {
  MessageBoxMetrics metrics;
  metrics.textWidth = [](std::u16string_view s) { return static_cast<int>(s.size()) * 7; };
  metrics.ascent = 11;
  metrics.descent = 2;
  metrics.maxWidth = 400;
  metrics.maxHeight = 300;

  String text = "short\n\nA sentence that is clearly far too long to fit on one line of the box ";
  text += String("x").Replace("x", std::u16string(80, u'w'));
  const MessageBoxLayout layout = LayoutMessageBox(text, MESSAGE_BOX_YES_NO_CANCEL, metrics);
  ASSERT_GE(layout.lines.size(), 5u);
  EXPECT_EQ(layout.lines[0], u"short");
  EXPECT_EQ(layout.lines[1], u"");
  for (const std::u16string& line : layout.lines) {
    EXPECT_LE(layout.textX + metrics.textWidth(line), metrics.maxWidth - 16) << String(line);
  }
  EXPECT_EQ(layout.lines.back().back(), u'w');

  // A text far taller than the screen is cut; the buttons stay in the box,
  // apart, in order and below the text.
  String tall;
  for (int i = 0; i < 500; ++i) tall += "line\n";
  const MessageBoxLayout cut = LayoutMessageBox(tall, MESSAGE_BOX_YES_NO_CANCEL, metrics);
  EXPECT_LE(cut.height, metrics.maxHeight);
  EXPECT_EQ(cut.lines.back(), u"...");
  ASSERT_EQ(cut.buttons.size(), 3u);
  const int textBottom =
      cut.firstBaseline + (static_cast<int>(cut.lines.size()) - 1) * cut.lineHeight + 2;
  for (size_t i = 0; i < cut.buttons.size(); ++i) {
    const MessageBoxRect& b = cut.buttons[i];
    EXPECT_GE(b.x, 0);
    EXPECT_LE(b.x + b.width, cut.width);
    EXPECT_LE(b.y + b.height, cut.height);
    EXPECT_GT(b.y, textBottom);
    if (i > 0) {
      EXPECT_GT(b.x, cut.buttons[i - 1].x + cut.buttons[i - 1].width);
    }
  }
}

TEST(X11DialogNoDisplay, WritesTheTextAndCancels) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(
      RunMessageBox(nullptr, "Zorp", "Nothing to show it on", MESSAGE_BOX_YES_NO_CANCEL, true),
      MESSAGE_BOX_ANSWER_CANCEL);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Nothing to show it on\n");

  // A whole process without a server, through the driver.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        TX11SystemDriver driver;
        driver.Notice("notice text", false);
        const bool cancelled = driver.AskOkCancel("ok text", false) == 0 &&
                               driver.AskYesNoCancel("yes text", true) == -1;
        std::exit(cancelled ? 0 : 1);
      },
      testing::ExitedWithCode(0), "notice text\nok text\nyes text\n");
}

// Stand-ins for the desktop's programs: each records its arguments, prints a
// reply and exits with a given status. PATH holds only their folder.
class X11Chooser : public ::testing::Test {
 protected:
  X11Chooser() {
    const char* path = std::getenv("PATH");
    savedPath_ = path ? path : "";
    setenv("PATH", bin_.path().c_str(), 1);
  }
  ~X11Chooser() override { setenv("PATH", savedPath_.c_str(), 1); }

  void StandIn(const std::string& name, const std::string& reply, int status) {
    const std::string script = bin_ / name;
    std::ofstream(bin_ / (name + ".reply"), std::ios::binary) << reply;
    std::ofstream(script) << "#!/bin/sh\n"
                          << "for a in \"$@\"; do printf '%s' \"$a\"; printf '\\000'; done > '"
                          << bin_ / (name + ".args") << "'\n"
                          << "/bin/cat '" << bin_ / (name + ".reply") << "'\n"
                          << "exit " << status << "\n";
    chmod(script.c_str(), 0755);
  }

  std::vector<std::string> ArgsOf(const std::string& name) {
    std::ifstream in(bin_ / (name + ".args"), std::ios::binary);
    std::vector<std::string> args;
    for (std::string arg; std::getline(in, arg, '\0');) args.push_back(arg);
    return args;
  }

  TempDir bin_;
  std::string savedPath_;
  std::string cwd_ = std::filesystem::current_path().string();
  TX11SystemDriver driver_;
};

using Args = std::vector<std::string>;

TEST_F(X11Chooser, ZenityGetsTheFiltersInitialPathAndMode) {
  StandIn("zenity", "/home/player/pics/shot.png\n", 0);
  EXPECT_EQ(driver_.ChooseFile("Open", "Image Files:png,jpg;Text:txt", false, "a/b/c.txt"),
            "/home/player/pics/shot.png");
  EXPECT_EQ(ArgsOf("zenity"),
            (Args{"--file-selection", "--title=Open", "--filename=" + cwd_ + "/a/b/c.txt",
                  "--file-filter=Image Files | *.png *.jpg", "--file-filter=Text | *.txt"}));

  driver_.ChooseFile("Save", "png,bmp", true, "/tmp/saves/");
  EXPECT_EQ(ArgsOf("zenity"),
            (Args{"--file-selection", "--title=Save", "--save", "--confirm-overwrite",
                  "--filename=/tmp/saves/", "--file-filter=Files | *.png *.bmp"}));

  // Either separator; a file in the root stays there; no title, filter or
  // initial path, no arguments for them.
  driver_.ChooseFile("", "png", false, "a\\b\\c.txt");
  EXPECT_EQ(ArgsOf("zenity"), (Args{"--file-selection", "--filename=" + cwd_ + "/a/b/c.txt",
                                    "--file-filter=Files | *.png"}));
  driver_.ChooseFile("", "", false, "/c.txt");
  EXPECT_EQ(ArgsOf("zenity"), (Args{"--file-selection", "--filename=/c.txt"}));
  driver_.ChooseFile("", "", false, "");
  EXPECT_EQ(ArgsOf("zenity"), (Args{"--file-selection"}));

  EXPECT_EQ(driver_.ChooseFolder("Where?", "x/../saves/"), "/home/player/pics/shot.png");
  EXPECT_EQ(ArgsOf("zenity"), (Args{"--file-selection", "--directory", "--title=Where?",
                                    "--filename=" + cwd_ + "/saves"}));
}

TEST_F(X11Chooser, CancelGivesNothingAndPathsComeBackAsBytes) {
  StandIn("zenity", "/tmp/ignored\n", 1);
  EXPECT_EQ(driver_.ChooseFile("Open", "png", false, ""), "");
  EXPECT_EQ(driver_.ChooseFolder("Open", ""), "");

  // A name that is not ASCII comes back byte for byte, as the file functions
  // take it; only the line end goes.
  StandIn("zenity", "/tmp/caf\xC3\xA9 1.png\n", 0);
  EXPECT_EQ(driver_.ChooseFile("Open", "", false, "").ToBytes(), "/tmp/caf\xC3\xA9 1.png");

  // Neither chooser on PATH reads as cancelled.
  std::filesystem::remove(bin_ / "zenity");
  EXPECT_EQ(driver_.ChooseFile("Open", "png", false, ""), "");
  EXPECT_EQ(driver_.ChooseFolder("Open", ""), "");
}

TEST_F(X11Chooser, KdialogWhenThereIsNoZenity) {
  StandIn("kdialog", "/home/player/save.dat\n", 0);
  EXPECT_EQ(driver_.ChooseFile("Save", "Image Files:png,jpg;Text:txt", true, "a/b/c.txt"),
            "/home/player/save.dat");
  EXPECT_EQ(ArgsOf("kdialog"), (Args{"--title", "Save", "--getsavefilename", cwd_ + "/a/b/c.txt",
                                     "*.png *.jpg|Image Files\n*.txt|Text"}));
  driver_.ChooseFile("", "", false, "");
  EXPECT_EQ(ArgsOf("kdialog"), (Args{"--getopenfilename", cwd_ + "/"}));
  driver_.ChooseFolder("Folder", "/tmp");
  EXPECT_EQ(ArgsOf("kdialog"), (Args{"--title", "Folder", "--getexistingdirectory", "/tmp"}));
}

TEST_F(X11Chooser, TextWithShellMetacharactersIsOneArgument) {
  StandIn("zenity", "", 0);
  const std::string nasty = "a'b\"c $(touch pwned) `touch pwned`; | & > out * \\ \nnext";
  driver_.ChooseFile(nasty.c_str(), "", true, ("/tmp/" + nasty).c_str());
  std::string asPath = "/tmp/" + nasty;  // the backslash separates, as "/" does
  std::replace(asPath.begin(), asPath.end(), '\\', '/');
  EXPECT_EQ(ArgsOf("zenity"), (Args{"--file-selection", "--title=" + nasty, "--save",
                                    "--confirm-overwrite", "--filename=" + asPath}));
  StandIn("xdg-open", "", 0);
  driver_.OpenWithShell(nasty.c_str());
  EXPECT_EQ(ArgsOf("xdg-open"), Args{nasty});
  EXPECT_FALSE(std::filesystem::exists("pwned"));
  EXPECT_FALSE(std::filesystem::exists(bin_ / "pwned"));
}

TEST_F(X11Chooser, OpenWithShellAnswersByExitStatus) {
  EXPECT_EQ(driver_.OpenWithShell("https://example.com/"), 0) << "no xdg-open";
  StandIn("xdg-open", "", 0);
  EXPECT_EQ(driver_.OpenWithShell("https://example.com/"), 1);
  EXPECT_EQ(ArgsOf("xdg-open"), Args{"https://example.com/"});
  // Never taken for an option.
  driver_.OpenWithShell("-manual.txt");
  EXPECT_EQ(ArgsOf("xdg-open"), Args{"./-manual.txt"});
  StandIn("xdg-open", "", 1);
  EXPECT_EQ(driver_.OpenWithShell("/no/such/file"), 0);
}

}  // namespace

// The Win32 driver's message boxes and choosers under Wine, answered from the
// keyboard through the X server, as a player would.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "system/system_driver.h"
#include "system/win32/win32_translate.h"
#include "tests/system/win32_test_input.h"
// After windows.h, which it needs.
#include <commctrl.h>

namespace {

// The dialog of this process that is in the foreground, if any.
HWND ForegroundDialog() {
  const HWND window = GetForegroundWindow();
  char className[16] = {};
  DWORD process = 0;
  if (!window || !IsWindowVisible(window)) return nullptr;
  if (!GetClassNameA(window, className, sizeof className)) return nullptr;
  GetWindowThreadProcessId(window, &process);
  return std::string(className) == "#32770" && process == GetCurrentProcessId() ? window : nullptr;
}

std::string CaptionOf(HWND window) {
  char caption[256] = {};
  GetWindowTextA(window, caption, sizeof caption);
  return caption;
}

// The text of the item selected in the dialog's tree, if it has one.
std::string SelectedTreeItem(HWND dialog) {
  HWND tree = nullptr;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM found) {
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        if (std::string(className) != WC_TREEVIEWA) return TRUE;
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&tree));
  if (!tree) return "";
  char text[MAX_PATH] = {};
  TVITEMA item{};
  item.mask = TVIF_TEXT;
  item.hItem = TreeView_GetSelection(tree);
  item.pszText = text;
  item.cchTextMax = sizeof text;
  if (!item.hItem || !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) {
    return "";
  }
  return text;
}

// Whether the control with the keyboard focus (in the dialog's thread) shows
// this text: a file dialog is ready for keys once its name box has it.
bool FocusShows(HWND dialog, const std::string& text) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) || !info.hwndFocus) {
    return false;
  }
  char shown[MAX_PATH] = {};
  GetWindowTextA(info.hwndFocus, shown, sizeof shown);
  return text == shown;
}

// Answers the next dialog from a second thread by typing keys, once it is in
// the foreground and ready (as the test judges). A dialog still open long
// after is closed, so that a test fails rather than hangs.
class Answer {
 public:
  explicit Answer(std::string keys, std::function<bool(HWND)> ready = nullptr)
      : keys_(std::move(keys)), ready_(std::move(ready)), thread_([this] { Run(); }) {}
  ~Answer() { Typed(); }
  Answer(const Answer&) = delete;
  Answer& operator=(const Answer&) = delete;

  // Whether the keys were typed; waits for the typing to end.
  bool Typed() {
    if (thread_.joinable()) thread_.join();
    return typed_;
  }
  // The dialog's caption, once Typed() has returned.
  std::string caption;
  HWND owner = nullptr;  // and its owner

 private:
  void Run() {
    HWND dialog = nullptr;
    if (!WaitUntil([&] { return (dialog = ForegroundDialog()) != nullptr; }, 30000)) return;
    caption = CaptionOf(dialog);
    owner = GetWindow(dialog, GW_OWNER);
    // A dialog never ready is cancelled untyped, so that the test fails
    // instead of waiting on it for ever.
    if (!ready_ || WaitUntil([&] { return ready_(dialog); }, 30000)) {
      typed_ = FocusWindow(dialog) && TypeInput(keys_);
    }
    if (!WaitUntil([&] { return !IsWindow(dialog); }, typed_ ? 30000 : 0)) {
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
  }

  std::string keys_;
  std::function<bool(HWND)> ready_;
  bool typed_ = false;
  std::thread thread_;
};

class Win32DialogTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!HasInteractiveDesktop()) GTEST_SKIP() << "No desktop to type to";
    StartSystem();
    SetAppTitle("Zorp Dialogs");
    window = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(window);
    ASSERT_TRUE(FocusWindow(window));
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == window; }));
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    folder = std::string(temp) + "zorp-dialogs-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\saves").c_str(), nullptr);
  }

  void TearDown() override {
    if (window) DestroyWindow(window);
    DeleteFileA((folder + "\\saves\\old.txt").c_str());
    RemoveDirectoryA((folder + "\\saves").c_str());
    RemoveDirectoryA(folder.c_str());
    PumpEvents();
  }

  // The same path with "/" separators, as a game may give it.
  static String Forward(const std::string& path) {
    return String::FromBytes(path).Replace("\\", "/");
  }
  static String Native(const std::string& path) { return String::FromBytes(path); }

  HWND window = nullptr;
  std::string folder;
};

TEST_F(Win32DialogTest, MessageBoxesAnswerFromTheKeyboard) {
  struct Case {
    const char* keys;
    bool yesNo;
    int answer;
  };
  const Case cases[] = {
      {"key Return", true, 1},
      {"key 57", true, 0},
      {"key Escape", true, -1},
      {"key Return", false, 1},
      {"key Escape", false, 0},
      // The close button, by Alt+F4.
      {"keydown 64 key 70 keyup 64", true, -1},
  };
  for (const Case& c : cases) {
    Answer answer(c.keys);
    const int got =
        c.yesNo ? AskYesNoCancel("Save the scores?", false) : AskOkCancel("Quit?", true);
    EXPECT_EQ(got, c.answer) << c.keys << (c.yesNo ? " to Yes/No/Cancel" : " to OK/Cancel");
    EXPECT_TRUE(answer.Typed());
    EXPECT_EQ(answer.caption, "Zorp Dialogs");
    EXPECT_EQ(answer.owner, window);
    EXPECT_EQ(GetFocus(), window) << "the focus comes back";
  }
  // Not owned by a minimised window, which would hide it from the player.
  ShowWindow(window, SW_SHOWMINIMIZED);  // and still active
  ASSERT_TRUE(PumpUntil([&] { return IsIconic(window) && GetActiveWindow() == window; }));
  Answer answer("key Return");
  ShowNotice("Done.", false);
  EXPECT_TRUE(answer.Typed());
  EXPECT_EQ(answer.owner, nullptr);
}

TEST_F(Win32DialogTest, FileChooserStartsInTheFolderWithTheNameGiven) {
  {
    Answer answer("key Return", [](HWND dialog) { return FocusShows(dialog, "new.txt"); });
    EXPECT_EQ(ChooseFile("Save the scores", "Text Files:txt;All:*", true,
                         Forward(folder) + "/saves/new.txt")
                  .ToBytes(),
              folder + "\\saves\\new.txt");
    EXPECT_TRUE(answer.Typed());
    EXPECT_EQ(answer.caption, "Save the scores");
  }
  FILE* file = fopen((folder + "\\saves\\old.txt").c_str(), "w");
  ASSERT_TRUE(file);
  fclose(file);
  {
    Answer answer("key Return", [](HWND dialog) { return FocusShows(dialog, "old.txt"); });
    EXPECT_EQ(ChooseFile("Open", "txt", false, Forward(folder) + "/saves/old.txt").ToBytes(),
              folder + "\\saves\\old.txt");
  }
  {
    Answer answer("key Escape", [](HWND dialog) { return FocusShows(dialog, "old.txt"); });
    EXPECT_EQ(ChooseFile("Open", "", false, Native(folder + "\\saves\\old.txt")), "");
  }
  EXPECT_EQ(GetFocus(), window);
}

TEST_F(Win32DialogTest, FolderChooserStartsInTheFolderGiven) {
  {
    // The browser shows the folder once it has opened the tree down to it.
    Answer answer("key Return", [](HWND dialog) { return SelectedTreeItem(dialog) == "saves"; });
    EXPECT_EQ(ChooseFolder("Where to?", Forward(folder) + "/saves").ToBytes(), folder + "\\saves");
  }
  {
    Answer answer("key Escape");
    EXPECT_EQ(ChooseFolder("Where to?", Native(folder)), "");
  }
  EXPECT_EQ(GetFocus(), window);
}

TEST_F(Win32DialogTest, ThePumpGivesADialogsControlsTheirKeyboardHandling) {
  // Tab moves between the controls only when the pump hands it to
  // IsDialogMessage; else it would reach the edit box as a character.
  const HWND form =
      CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "form", WS_POPUP | WS_VISIBLE, 300, 300, 200,
                      100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER;
  const HWND first = CreateWindowExA(0, "EDIT", "", style, 10, 10, 150, 20, form, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
  const HWND second = CreateWindowExA(0, "EDIT", "", style, 10, 40, 150, 20, form, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(FocusWindow(form));
  SetFocus(first);
  ASSERT_TRUE(TypeInput("key 38 key 23 key 53"));  // a, Tab, x
  auto text = [](HWND edit) {
    char shown[16] = {};
    GetWindowTextA(edit, shown, sizeof shown);
    return std::string(shown);
  };
  EXPECT_TRUE(PumpUntil([&] { return text(second) == "x"; })) << text(second);
  EXPECT_EQ(text(first), "a");
  EXPECT_EQ(GetFocus(), second);
  DestroyWindow(form);
}

TEST_F(Win32DialogTest, ShellRefusesWhatIsNotThere) {
  EXPECT_EQ(OpenWithShell(Native(folder + "\\no such file.txt")), 0);
}

}  // namespace

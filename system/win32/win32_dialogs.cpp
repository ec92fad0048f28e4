// The Win32 driver's dialogs: message boxes, the common file dialogs, the
// folder browser and the shell. Texts go in and come back one byte per
// character, through the ANSI forms of the calls.

#include <string>
#include <vector>

#include "system/chooser_text.h"
#include "system/win32/win32_system_driver.h"
#include "system/win32/win32_translate.h"
// After windows.h, which these need.
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

constexpr DWORD PATH_BUFFER = 4096;

// A modal dialog takes the keyboard focus; the window that had it gets it back.
class KeepFocus {
 public:
  KeepFocus() : window_(GetFocus()) {}
  ~KeepFocus() {
    if (window_ && IsWindow(window_)) SetFocus(window_);
  }
  KeepFocus(const KeepFocus&) = delete;
  KeepFocus& operator=(const KeepFocus&) = delete;

 private:
  HWND window_;
};

// The window a dialog belongs to: the active one, unless it is minimised or
// hidden, where a dialog it owned would be hidden with it and never seen.
HWND DialogOwner() {
  const HWND active = GetActiveWindow();
  return active && IsWindowVisible(active) && !IsIconic(active) ? active : nullptr;
}

int ShowMessageBox(const String& text, bool serious, UINT buttons) {
  const UINT icon = serious ? MB_ICONEXCLAMATION : MB_ICONINFORMATION;
  KeepFocus focus;
  return MessageBoxA(DialogOwner(), text.ToBytes().c_str(), AppTitle().ToBytes().c_str(),
                     buttons | icon | MB_TOPMOST);
}

// Null for an empty text, so that a dialog keeps its own default.
const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

String FromBuffer(const std::vector<char>& buffer) {
  return String::FromBytes(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

// Opens the browser on the initial folder, and shows the path of each folder
// chosen where the dialog has room for it.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM initialFolder) {
  if (message == BFFM_INITIALIZED) {
    SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, initialFolder);
    // Once more when the dialog has settled: Wine's tree sometimes stops
    // short of the folder the first time.
    PostMessageA(dialog, BFFM_SETSELECTIONA, TRUE, initialFolder);
  } else if (message == BFFM_SELCHANGED) {
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path)) {
      SendMessageA(dialog, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
    }
  }
  return 0;
}

// The new-style browser and the shell need COM on the calling thread.
class ComApartment {
 public:
  ComApartment()
      : started_(
            SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
  }
  ~ComApartment() {
    if (started_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool started_;
};

}  // namespace

void TWin32SystemDriver::Notice(const String& text, bool serious) {
  ShowMessageBox(text, serious, MB_OK);
}

int TWin32SystemDriver::AskOkCancel(const String& text, bool serious) {
  return ShowMessageBox(text, serious, MB_OKCANCEL) == IDOK ? 1 : 0;
}

int TWin32SystemDriver::AskYesNoCancel(const String& text, bool serious) {
  switch (ShowMessageBox(text, serious, MB_YESNOCANCEL)) {
    case IDYES:
      return 1;
    case IDNO:
      return 0;
    default:
      return -1;
  }
}

String TWin32SystemDriver::ChooseFile(const String& title, const String& extensions, bool save,
                                      const String& initialPath) {
  const InitialPath initial = SplitInitialPath(initialPath, u'\\');
  const std::string folder = initial.folder.ToBytes();
  const std::string filter = FileFilterList(extensions).ToBytes();
  const std::string caption = title.ToBytes();
  std::vector<char> file(PATH_BUFFER, '\0');
  initial.name.ToBytes().copy(file.data(), file.size() - 1);

  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = DialogOwner();
  // The list ends with its own NUL; c_str adds the second one it needs.
  dialog.lpstrFilter = OrNull(filter);
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = PATH_BUFFER;
  dialog.lpstrInitialDir = OrNull(folder);
  dialog.lpstrTitle = OrNull(caption);
  dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  dialog.Flags |= save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;

  KeepFocus focus;
  const BOOL chosen = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  return chosen ? FromBuffer(file) : "";
}

String TWin32SystemDriver::ChooseFolder(const String& title, const String& initialPath) {
  const std::string start = initialPath.Replace("/", "\\").ToBytes();
  std::vector<char> initialFolder(PATH_BUFFER, '\0');
  const DWORD length = GetFullPathNameA(start.c_str(), PATH_BUFFER, initialFolder.data(), nullptr);
  if (length == 0 || length >= PATH_BUFFER) initialFolder[0] = '\0';
  const std::string caption = title.ToBytes();

  BROWSEINFOA browse{};
  browse.hwndOwner = DialogOwner();
  browse.lpszTitle = OrNull(caption);
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  browse.lpfn = BrowseCallback;
  browse.lParam = reinterpret_cast<LPARAM>(initialFolder.data());

  ComApartment com;
  KeepFocus focus;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&browse);
  if (!item) return "";
  std::vector<char> folder(PATH_BUFFER, '\0');
  const BOOL named = SHGetPathFromIDListA(item, folder.data());
  CoTaskMemFree(item);
  return named ? FromBuffer(folder) : "";
}

int TWin32SystemDriver::OpenWithShell(const String& path) {
  ComApartment com;
  const HINSTANCE result =
      ShellExecuteA(nullptr, nullptr, path.ToBytes().c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
  // Values up to 32 are error codes.
  return reinterpret_cast<INT_PTR>(result) > 32 ? 1 : 0;
}

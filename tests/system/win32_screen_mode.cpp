#include "tests/system/win32_screen_mode.h"

#include "tests/system/win32_test_input.h"

namespace {

// An X mode of 640 x 480 at 60 Hz. It stays once added: Wine lists the X
// modes it has heard of, and a mode taken away would stay in its list.
#define ZORP_X_OUTPUT "$(xrandr | awk '/ connected/ { print $1; exit }')"
constexpr char ADD_MODE[] =
    "xrandr | grep -q zorp-640x480 || { xrandr --newmode zorp-640x480 25.18 640 656 752 800 480 "
    "490 492 525 -hsync -vsync && xrandr --addmode " ZORP_X_OUTPUT " zorp-640x480; }";
// Another Wine process's mode change reaches this one's view of the screen
// late: the X server is asked.
constexpr char IN_ADDED_MODE[] = "xrandr | grep -q 'zorp-640x480 .*[*]'";
// The X screen's first mode, as Xvfb starts with it, is named by its size.
constexpr char BACK_TO_MODE[] = "xrandr --output " ZORP_X_OUTPUT " --mode ";
#undef ZORP_X_OUTPUT

bool Listed(int width, int height, DWORD bits) {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i) {
    if (static_cast<int>(mode.dmPelsWidth) == width &&
        static_cast<int>(mode.dmPelsHeight) == height && mode.dmBitsPerPel == bits) {
      return true;
    }
  }
  return false;
}

DEVMODEA Current() {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
  return mode;
}

}  // namespace

std::string ScreenModeNow() {
  const DEVMODEA mode = Current();
  return std::to_string(mode.dmPelsWidth) + "x" + std::to_string(mode.dmPelsHeight);
}

OtherScreenMode::OtherScreenMode() : desktop(ScreenModeNow()) {
  const DEVMODEA now = Current();
  if (RunningUnderWine()) {
    // Wine lists it once it has heard of it from the X server.
    if (now.dmPelsWidth > 640 && RunOnHost(ADD_MODE) &&
        WaitUntil([&] { return Listed(640, 480, now.dmBitsPerPel); })) {
      width = 640;
      height = 480;
    }
    return;
  }
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i) {
    if (mode.dmBitsPerPel != now.dmBitsPerPel || mode.dmPelsWidth == now.dmPelsWidth) continue;
    width = static_cast<int>(mode.dmPelsWidth);
    height = static_cast<int>(mode.dmPelsHeight);
    return;
  }
}

OtherScreenMode::~OtherScreenMode() {
  if (!width) return;
  if (RunningUnderWine()) {
    if (IsSet()) RunOnHost(BACK_TO_MODE + desktop);
  } else if (IsSet()) {
    ChangeDisplaySettingsA(nullptr, 0);
  }
  // Wine may have stored the mode the X screen changed to as the desktop's:
  // later programs would go back to it.
  DEVMODEA stored{};
  stored.dmSize = sizeof stored;
  if (!EnumDisplaySettingsA(nullptr, ENUM_REGISTRY_SETTINGS, &stored)) return;
  const std::string storedName =
      std::to_string(stored.dmPelsWidth) + "x" + std::to_string(stored.dmPelsHeight);
  if (storedName == desktop) return;
  const size_t x = desktop.find('x');
  stored.dmPelsWidth = static_cast<DWORD>(std::stoi(desktop.substr(0, x)));
  stored.dmPelsHeight = static_cast<DWORD>(std::stoi(desktop.substr(x + 1)));
  stored.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  ChangeDisplaySettingsA(&stored, CDS_UPDATEREGISTRY | CDS_NORESET);
}

bool OtherScreenMode::IsSet() const {
  if (!width) return false;
  return RunningUnderWine() ? RunOnHost(IN_ADDED_MODE) : ScreenModeNow() == Name();
}

bool OtherScreenMode::Set() const {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = static_cast<DWORD>(width);
  mode.dmPelsHeight = static_cast<DWORD>(height);
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  return width && ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL &&
         IsSet();
}

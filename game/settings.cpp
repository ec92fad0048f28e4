#include "game/settings.h"

#include <cstdio>

#include "game/game_files.h"
#include "game/game_state.h"
#include "game/screens.h"
#include "graphics/display/graphics.h"
#include "runtime/runtime_error.h"
#include "system/system_driver.h"

namespace {

constexpr int MAX_RATES = 16;

Ref<TDisplayDriver> DriverFor(int flag) { return flag != 0 ? Game().directX7 : Game().openGL; }

const char* DriverName(int flag) { return flag != 0 ? "DirectX 7" : "OpenGL"; }

int OtherDriver(int flag) { return flag == 0 ? 1 : 0; }

// Selects the driver the flag names and opens the game's display on it, at
// the rate chosen from the driver's modes or at 75 Hz. False, with the
// reason, when it does not open; nothing of it is then left open.
bool OpenOnDriver(int flag, bool chooseRate, String& failure) {
  SelectDisplayDriver(DriverFor(flag), DF_BACKBUFFER);
  try {
    OpenGameDisplay(chooseRate ? ChooseRefreshRate(75) : 75);
    return true;
  } catch (const RuntimeError& error) {
    CloseOpenedDisplay();
    failure = error.Message();
    return false;
  }
}

void SayDriverFailed(int failed, const String& failure, int instead) {
  std::fprintf(stderr, "zorp: %s could not open the display (%s); using %s\n", DriverName(failed),
               failure.ToUtf8().c_str(), DriverName(instead));
  std::fflush(stderr);
}

}  // namespace

void ChooseDisplayDriver(const String& path) {
  GameGlobals& g = Game();
  int flag = 0;
  if (ReadGameFile(path, [&flag](const Ref<TStream>& file) { flag = ReadDriverFlag(file); })) {
    g.driverFlag = flag;
    if (const Ref<TDisplayDriver> named = DriverFor(g.driverFlag)) {
      SelectDisplayDriver(named, DF_BACKBUFFER);
      return;
    }
  }
  g.driverFlag = g.dx7Available ? 1 : 0;
  SelectDisplayDriver(DriverFor(g.driverFlag), DF_BACKBUFFER);
}

void OpenChosenDisplay() {
  GameGlobals& g = Game();
  String failure, ignored;
  if (OpenOnDriver(g.driverFlag, true, failure)) return;
  const int other = OtherDriver(g.driverFlag);
  if (!DriverFor(other) || !OpenOnDriver(other, true, ignored)) throw RuntimeError(failure);
  SayDriverFailed(g.driverFlag, failure, other);
  g.driverFlag = other;
}

bool WriteSettings(const String& path) {
  return WriteFileSafely(
      path, [](const Ref<TStream>& file) { WriteDriverFlag(file, Game().driverFlag); });
}

void SwitchDisplayDriver() {
  GameGlobals& g = Game();
  g.images = GameImages();
  CloseOpenedDisplay();
  // A driver that fails gives the display back to the one that worked; the
  // choice saved is always one that opened.
  const int other = OtherDriver(g.driverFlag);
  String failure;
  if (OpenOnDriver(other, false, failure)) {
    g.driverFlag = other;
  } else {
    SayDriverFailed(other, failure, g.driverFlag);
    if (!OpenOnDriver(g.driverFlag, false, failure)) throw RuntimeError(failure);
  }
  LoadGameImages(1);
}

int ChooseRefreshRate(std::vector<int> rates, int preferred) {
  // Windows gives 0 or 1 for a mode whose rate it does not know (Wine always
  // does on a virtual screen): asking for that would leave the game unpaced.
  std::erase_if(rates, [](int rate) { return rate <= 1; });
  if (rates.empty()) return preferred;
  // A bubble sort: the list holds at most 16 rates.
  for (bool swapped = true; swapped;) {
    swapped = false;
    for (size_t i = 1; i < rates.size(); ++i) {
      if (rates[i - 1] > rates[i]) {
        std::swap(rates[i - 1], rates[i]);
        swapped = true;
      }
    }
  }
  for (auto rate = rates.rbegin(); rate != rates.rend(); ++rate) {
    if (*rate <= preferred) return *rate;
  }
  return rates.front();
}

int ChooseRefreshRate(int preferred) {
  std::vector<int> rates;
  const int modes = CountDisplayModes();
  for (int i = 0; i < modes && static_cast<int>(rates.size()) < MAX_RATES; ++i) {
    int width, height, depth, hz;
    GetDisplayMode(i, width, height, depth, hz);
    if (width == 800 && height == 600 && depth == Game().displayDepth) rates.push_back(hz);
  }
  return ChooseRefreshRate(rates, preferred);
}

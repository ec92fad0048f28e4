#include "game/settings.h"

#include "game/game_files.h"
#include "game/game_state.h"
#include "game/screens.h"
#include "graphics/display/graphics.h"
#include "graphics/dx7/dx7_draw.h"
#include "graphics/gl/gl_draw.h"
#include "system/system_driver.h"

namespace {

constexpr int MAX_RATES = 16;

Ref<TDrawDriver> DriverFor(int flag) {
  return flag != 0 ? Ref<TDrawDriver>(DX7DrawDriver()) : Ref<TDrawDriver>(GLDrawDriver());
}

}  // namespace

void ChooseDisplayDriver(const String& path) {
  GameGlobals& g = Game();
  int flag = 0;
  if (ReadGameFile(path, [&flag](const Ref<TStream>& file) { flag = ReadDriverFlag(file); })) {
    g.driverFlag = flag;
    if (const Ref<TDrawDriver> named = DriverFor(g.driverFlag)) {
      SelectDisplayDriver(named, DF_BACKBUFFER);
      return;
    }
  }
  g.driverFlag = g.dx7Available ? 1 : 0;
  SelectDisplayDriver(DriverFor(g.driverFlag), DF_BACKBUFFER);
}

bool WriteSettings(const String& path) {
  return WriteFileSafely(
      path, [](const Ref<TStream>& file) { WriteDriverFlag(file, Game().driverFlag); });
}

void SwitchDisplayDriver() {
  GameGlobals& g = Game();
  g.images = GameImages();
  CloseOpenedDisplay();
  g.driverFlag = g.driverFlag == 0 ? 1 : 0;
  SelectDisplayDriver(DriverFor(g.driverFlag), DF_BACKBUFFER);
  OpenGameDisplay(75);
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

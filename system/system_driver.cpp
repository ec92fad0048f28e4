#include "system/system_driver.h"

#include <cstdint>
#include <ctime>

#include "runtime/program.h"
#include "system/event.h"

namespace {

Ref<TSystemDriver> currentDriver;
// Set while a pump or wait runs: a hook that pumps again from inside it
// finds it set and returns at once.
bool busy = false;

String& Title() {
  static String title = "Zorp";
  return title;
}

std::vector<Ref<TPixmap>>& Icon() {
  static std::vector<Ref<TPixmap>> icon;
  return icon;
}

// The error is on standard error already; without a desktop that is all.
void ShowRuntimeError(const String& message) {
  if (SystemDriver()->HasDesktop()) ShowNotice(message, true);
}

// Runs the driver's pump or wait unless one is running already.
template <class Operation>
void Guarded(Operation operation) {
  if (busy) return;
  busy = true;
  try {
    operation(*SystemDriver());
  } catch (...) {
    busy = false;
    throw;
  }
  busy = false;
}

String LocalTimeText(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  const std::tm* parts = std::localtime(&now);
  if (parts) local = *parts;
  char text[256];
  const size_t length = std::strftime(text, sizeof text, format, &local);
  return String::FromBytes(text, length);
}

}  // namespace

void StartSystem() {
  static bool started = false;
  if (!FirstStart(started)) return;
  StartEvents();
  if (!currentDriver) currentDriver = CreatePlatformSystemDriver();
  SetErrorNotice(ShowRuntimeError);
}

Ref<TSystemDriver> SystemDriver() {
  StartSystem();
  return currentDriver;
}

void SetSystemDriver(Ref<TSystemDriver> driver) {
  StartSystem();
  currentDriver = std::move(driver);
}

void PumpEvents() {
  Guarded([](TSystemDriver& driver) { driver.Pump(); });
}

void WaitEvents() {
  Guarded([](TSystemDriver& driver) { driver.Wait(); });
}

void WaitEventsFor(int millis) {
  if (millis <= 0) return PumpEvents();
  Guarded([millis](TSystemDriver& driver) { driver.WaitFor(millis); });
}
int ClockMillis() { return SystemDriver()->Millis(); }

// Unsigned arithmetic wraps where int arithmetic would overflow; the result
// converts back modulo 2^32.
int MillisSince(int earlier, int now) {
  return static_cast<int>(static_cast<uint32_t>(now) - static_cast<uint32_t>(earlier));
}

int AddMillis(int time, int millis) {
  return static_cast<int>(static_cast<uint32_t>(time) + static_cast<uint32_t>(millis));
}

void SleepMillis(int millis) { SystemDriver()->SleepFor(millis); }
void SetMousePosition(int x, int y) { SystemDriver()->MovePointer(x, y); }
void KeepScreenAwake(bool awake) { SystemDriver()->KeepScreenAwake(awake); }
void ShowPointer() { SystemDriver()->SetPointerVisible(true); }
void HidePointer() { SystemDriver()->SetPointerVisible(false); }
void ShowNotice(const String& text, bool serious) { SystemDriver()->Notice(text, serious); }

int AskOkCancel(const String& text, bool serious) {
  return SystemDriver()->AskOkCancel(text, serious);
}

int AskYesNoCancel(const String& text, bool serious) {
  return SystemDriver()->AskYesNoCancel(text, serious);
}

String ChooseFile(const String& title, const String& extensions, bool save,
                  const String& initialPath) {
  return SystemDriver()->ChooseFile(title, extensions, save, initialPath);
}

String ChooseFolder(const String& title, const String& initialPath) {
  return SystemDriver()->ChooseFolder(title, initialPath);
}

int OpenWithShell(const String& path) { return SystemDriver()->OpenWithShell(path); }

String DateText() { return LocalTimeText("%d %b %Y"); }
String TimeText() { return LocalTimeText("%H:%M:%S"); }

void PostWindowEvent(int id, Ref<Object> source, int data, int mods, int x, int y,
                     Ref<Object> extra) {
  NewEvent(id, std::move(source), data, mods, x, y, std::move(extra))->Emit();
}

const String& AppTitle() { return Title(); }
void SetAppTitle(const String& title) { Title() = title; }

const std::vector<Ref<TPixmap>>& AppIcon() { return Icon(); }

void SetAppIcon(std::vector<Ref<TPixmap>> sizes) {
  std::erase_if(sizes, [](const Ref<TPixmap>& pixmap) { return !pixmap; });
  Icon() = std::move(sizes);
}

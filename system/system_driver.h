#pragma once
// The system driver: the engine's link to the desktop. It pumps the window
// system's messages (turning those of the graphics windows into events),
// keeps the millisecond clock, moves and hides the pointer, and shows the
// engine's few modal dialogs. One driver per platform; the free functions
// below forward to the current one.

#include <vector>

#include "pixmap/pixmap.h"
#include "runtime/object.h"
#include "runtime/string.h"

class TSystemDriver : public Object {
 public:
  // Whether the desktop can be reached at all (an X server, say); without
  // it no window or dialog can open.
  virtual bool HasDesktop() { return true; }
  // Handles every pending message without blocking.
  virtual void Pump() = 0;
  // Blocks until something arrives, then pumps.
  virtual void Wait() = 0;
  // Blocks until something arrives or millis have passed, then pumps.
  virtual void WaitFor(int millis) = 0;
  // Milliseconds from an arbitrary start; wraps round as a 32-bit int.
  virtual int Millis() = 0;
  virtual void SleepFor(int millis) = 0;
  // Moves the pointer to (x, y) of the active window's client area.
  virtual void MovePointer(int x, int y) = 0;
  virtual void SetPointerVisible(bool visible) = 0;
  // Modal dialogs; serious ones carry a warning sign. Closing a dialog reads
  // as cancelling it.
  virtual void Notice(const String& text, bool serious) = 0;
  // 1 for OK, else 0.
  virtual int AskOkCancel(const String& text, bool serious) = 0;
  // 1 Yes, 0 No, -1 Cancel.
  virtual int AskYesNoCancel(const String& text, bool serious) = 0;
  // The chosen path, or "" when cancelled. extensions is a filter text such
  // as "Image Files:png,jpg;Text:txt" or "png,bmp"; empty for no filter.
  virtual String ChooseFile(const String& title, const String& extensions, bool save,
                            const String& initialPath) = 0;
  virtual String ChooseFolder(const String& title, const String& initialPath) = 0;
  // 1 if the desktop took the path (a document, folder or address) to open.
  virtual int OpenWithShell(const String& path) = 0;
  // While on, the screen saver and the display's power saving keep away, as
  // for a film: a display is open and the program is being watched, not
  // worked at with keys. Off gives them back.
  virtual void KeepScreenAwake(bool) {}
};

// Starts the events, makes the platform's driver current, and routes run-time
// errors to ShowNotice.
void StartSystem();
Ref<TSystemDriver> SystemDriver();
// Replaces the current driver (a scripted one in tests).
void SetSystemDriver(Ref<TSystemDriver> driver);

// These do nothing when called during a pump or wait (from a hook, say).
void PumpEvents();
void WaitEvents();
// Waits at most millis (nothing at all for 0 or less).
void WaitEventsFor(int millis);
int ClockMillis();
// The clock wraps round, so its times are compared only through these two:
// arithmetic modulo 2^32 stays right across the wrap for times less than
// 24.8 days apart. Time t is not after time u while MillisSince(t, u) >= 0.
// Milliseconds from earlier to now; negative when now is the earlier one.
int MillisSince(int earlier, int now);
// The clock time millis after time (before it when millis is negative).
int AddMillis(int time, int millis);
void SleepMillis(int millis);
void SetMousePosition(int x, int y);
// See TSystemDriver::KeepScreenAwake; the graphics context keeps it on while
// it has a display open.
void KeepScreenAwake(bool awake);
void ShowPointer();
void HidePointer();
void ShowNotice(const String& text, bool serious);
int AskOkCancel(const String& text, bool serious);
int AskYesNoCancel(const String& text, bool serious);
String ChooseFile(const String& title, const String& extensions, bool save,
                  const String& initialPath);
String ChooseFolder(const String& title, const String& initialPath);
int OpenWithShell(const String& path);
// Local date as "07 Dec 2026" and time as "21:05:09".
String DateText();
String TimeText();

// Builds an event and emits it at once.
void PostWindowEvent(int id, Ref<Object> source, int data, int mods, int x, int y,
                     Ref<Object> extra);

// The title of the drawing window and the caption of message boxes.
const String& AppTitle();
void SetAppTitle(const String& title);
// The icon of the windows opened from now on, one pixmap per size (any
// format; null ones are left out); none by default. Where the program file
// carries an icon of its own (Windows), that one is used instead.
const std::vector<Ref<TPixmap>>& AppIcon();
void SetAppIcon(std::vector<Ref<TPixmap>> sizes);

// The platform's driver; each platform folder defines it.
Ref<TSystemDriver> CreatePlatformSystemDriver();

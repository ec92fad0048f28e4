#pragma once
// The system driver on X11: the pump and wait over the one X connection, the
// monotonic clock, the pointer, and dialogs of our own (message boxes) or of
// the desktop (zenity or kdialog choosers, xdg-open).

#include "system/system_driver.h"

class TX11SystemDriver : public TSystemDriver {
 public:
  bool HasDesktop() override;
  void Pump() override;
  void Wait() override;
  void WaitFor(int millis) override;
  int Millis() override;
  void SleepFor(int millis) override;
  void MovePointer(int x, int y) override;
  void SetPointerVisible(bool visible) override;
  void KeepScreenAwake(bool awake) override;

  // These live in x11_dialogs.cpp.
  void Notice(const String& text, bool serious) override;
  int AskOkCancel(const String& text, bool serious) override;
  int AskYesNoCancel(const String& text, bool serious) override;
  String ChooseFile(const String& title, const String& extensions, bool save,
                    const String& initialPath) override;
  String ChooseFolder(const String& title, const String& initialPath) override;
  int OpenWithShell(const String& path) override;
};

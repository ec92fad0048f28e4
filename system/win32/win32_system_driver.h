#pragma once
// The system driver on Win32: the message pump with dialog-message routing,
// the multimedia clock at 1 ms resolution, the pointer, the screen kept awake
// and the desktop's display mode kept, and the desktop's message boxes, file
// and folder choosers and shell.

#include "system/system_driver.h"

class TWin32SystemDriver : public TSystemDriver {
 public:
  // Raises the timer resolution to 1 ms for the rest of the program, and
  // notes the desktop's display mode to give back at the end.
  TWin32SystemDriver();

  void Pump() override;
  void Wait() override;
  void WaitFor(int millis) override;
  int Millis() override;
  void SleepFor(int millis) override;
  void MovePointer(int x, int y) override;
  void SetPointerVisible(bool visible) override;
  void KeepScreenAwake(bool awake) override;

  // These live in win32_dialogs.cpp.
  void Notice(const String& text, bool serious) override;
  int AskOkCancel(const String& text, bool serious) override;
  int AskYesNoCancel(const String& text, bool serious) override;
  String ChooseFile(const String& title, const String& extensions, bool save,
                    const String& initialPath) override;
  String ChooseFolder(const String& title, const String& initialPath) override;
  int OpenWithShell(const String& path) override;
};

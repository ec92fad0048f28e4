#pragma once
// A system driver for tests: its pump emits the events queued with Queue, its
// wait those queued with Arrive (as input that comes while the program
// waits), its clock is a counter the test moves, and its dialogs answer as
// scripted.

#include <cstdint>
#include <deque>
#include <vector>

#include "runtime/runtime_error.h"
#include "system/event.h"
#include "system/system_driver.h"

class TScriptedSystemDriver : public TSystemDriver {
 public:
  // Emitted, in order, by the next pump.
  void Queue(int id, int data = 0, int x = 0, int y = 0, int mods = 0) {
    queued.push_back(NewEvent(id, nullptr, data, mods, x, y, nullptr));
  }

  void Pump() override {
    ++pumps;
    while (!queued.empty()) {
      Ref<TEvent> event = queued.front();
      queued.pop_front();
      event->Emit();
    }
  }
  void Arrive(int id, int data = 0) {
    arriving.push_back(NewEvent(id, nullptr, data, 0, 0, 0, nullptr));
  }

  void Wait() override {
    ++waits;
    // A test that waits for input it never sends fails instead of hanging.
    if (arriving.empty()) throw RuntimeError("Waiting for input that never comes");
    queued.push_back(arriving.front());
    arriving.pop_front();
    Pump();
  }
  // Input that arrives ends the wait at once; else the time passes.
  void WaitFor(int ms) override {
    ++waits;
    if (arriving.empty()) {
      Advance(ms);
    } else {
      queued.push_back(arriving.front());
      arriving.pop_front();
    }
    Pump();
  }
  int Millis() override { return millis; }
  void SleepFor(int ms) override { Advance(ms); }
  // Moves the clock on, going round past the largest int as a real one does.
  void Advance(int ms) {
    millis = static_cast<int>(static_cast<uint32_t>(millis) + static_cast<uint32_t>(ms));
  }
  void MovePointer(int x, int y) override { pointer = {x, y}; }
  void SetPointerVisible(bool visible) override { pointerVisible = visible; }
  void Notice(const String& text, bool) override { notices.push_back(text); }
  int AskOkCancel(const String&, bool) override { return answer; }
  int AskYesNoCancel(const String&, bool) override { return answer; }
  String ChooseFile(const String&, const String&, bool, const String&) override { return ""; }
  String ChooseFolder(const String&, const String&) override { return ""; }
  int OpenWithShell(const String&) override { return 0; }

  std::deque<Ref<TEvent>> queued, arriving;
  int pumps = 0, waits = 0, millis = 0, answer = 0;
  std::vector<int> pointer;
  bool pointerVisible = true;
  std::vector<String> notices;
};

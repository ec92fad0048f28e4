#pragma once
// The graphics context: the current display driver and its cached modes, the
// current display and its settings, the display that OpenDisplay opened, and
// presenting frames with optional pacing to a refresh rate.

#include "graphics/display/display.h"

// Allocates the flip hook id.
void StartGraphics();

// Makes driver current (the mode cache is emptied when it changes), stores
// the default flags and forgets the current display without closing it.
void SelectDisplayDriver(const Ref<TDisplayDriver>& driver, int defaultFlags);
Ref<TDisplayDriver> CurrentDisplayDriver();

std::vector<Ref<TGraphicsMode>> DisplayModes();
int CountDisplayModes();
// Mode number index (from 0) of the mode list.
void GetDisplayMode(int index, int& width, int& height, int& depth, int& hz);
// 1 if some mode matches every argument that is not 0.
int DisplayModeExists(int width, int height, int depth, int hz);

// Runs after every change of the current display, with the new one (null
// for none), whichever driver it belongs to: the drawing layer stops drawing
// into a display that is not its own.
void SetDisplayChangeAction(void (*action)(const Ref<TDisplay>& display));

Ref<TDisplay> CreateDisplay(int width, int height, int depth, int hz, int flags);
Ref<TDisplay> AttachDisplay(intptr_t window, int flags);
void CloseDisplay(const Ref<TDisplay>& display);
void SetCurrentDisplay(const Ref<TDisplay>& display);
Ref<TDisplay> CurrentDisplay();

// The recorded settings of the current display; 0 when there is none.
int DisplayWidth();
int DisplayHeight();
int DisplayDepth();
int DisplayHz();
int DisplayFlags();

// Closes the display opened before, creates and selects a new one, decides
// how FlipDisplay(-1) paces it, and attaches polled input. Nothing else
// changes when the display cannot be created.
void OpenDisplay(int width, int height, int depth, int hz, int flags);
// Also runs when the process exits.
void CloseOpenedDisplay();
Ref<TDisplay> OpenedDisplay();
// Runs the flip hooks, then presents: sync 0 at once, 1 at the vertical
// blank, -1 paced to the rate the display was opened with.
void FlipDisplay(int sync);

// 1 while the current display is hidden (minimised, or its surfaces lost):
// a frame drawn then would be seen by nobody. 0 without a current display.
int IsDisplayHidden();

// Changes whenever OpenDisplay opens or CloseOpenedDisplay closes a display;
// never 0.
int DisplaySequence();
// The hook id that every FlipDisplay calls first.
int FlipHookId();

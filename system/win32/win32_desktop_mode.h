#pragma once
// The desktop's display mode as the program found it. A full-screen display
// changes the mode for as long as it has the focus; whatever way the program
// ends (a run-time error, the session ending, a display driver that failed to
// give the mode back), the desktop gets its own mode back.

// Notes the mode the desktop is in now, once per process, and gives it back
// as an exit action and as an error action (before a run-time error's
// message).
void KeepDesktopMode();
// Gives the desktop the mode KeepDesktopMode noted, when it is in another:
// the display drivers give the screen back through it, since the mode
// Windows stores for the desktop need not be that one.
void RestoreDesktopMode();

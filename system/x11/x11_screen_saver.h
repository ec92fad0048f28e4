#pragma once
// Keeping the X screen saver and display power saving away while the program
// is being watched. Only X11 code includes this header.

// On: the server's screen saver (and its power-saving timers) is suspended,
// where the server has the MIT-SCREEN-SAVER extension, and reset now and
// then for the desktops that keep their own idle time. Off gives it back;
// so does the connection closing.
void KeepX11ScreenAwake(bool awake);
// Called by every pump: resets the screen saver while it is kept away.
void TickX11ScreenSaver();

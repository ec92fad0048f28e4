#pragma once
// A record of when frames were presented, for measuring the game: with the
// environment variable ZORP_FRAME_LOG naming a file, each flip and each mark
// adds a line "label wall_ms cpu_ms" (times since the program started; cpu
// is the process's processor time), written when the program ends. The main
// loop marks every frame once it is shown, with the game state's name. The
// first line, "start", gives the start on the monotonic clock (from its own
// origin, as other programs read it), for events timed outside the game.

// Starts recording when the variable is set; call first thing in main.
void StartFrameMeter();
// Records a named moment (no-op when not recording).
void MarkFrameMeter(const char* label);

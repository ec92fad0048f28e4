#pragma once
// The game's control routine: start-up, the fixed-step main loop over the
// seven states, and saving at the end.

// Ticks are 4 ms apart; a frame runs at most 13 of them and leaves the rest
// of a backlog to later frames.
constexpr int TICK_MILLIS = 4;
constexpr int MAX_TICKS_PER_FRAME = 13;

// Runs the whole game; returns when the player quits, after saving.
void RunGame();

// One logic tick of the current state.
void GameTick();
// The ticks due at the frame's clock reading, as many as one frame may run.
void RunFrameTicks();
// While the display is hidden (minimised, or its surfaces lost) the game
// stands still: no tick runs and no frame is drawn. This waits for the
// window's messages, at most HIDDEN_WAIT_MILLIS; a quit request ends the
// loop, and the ticks go on from the time the display is seen again.
constexpr int HIDDEN_WAIT_MILLIS = 100;
void WaitWhileHidden();
// The end of a frame after it was drawn: the clock-wrap rule, a requested
// driver switch and reaping finished sounds.
void EndFrame();

// A request to end the program as Escape on the title screen does (the
// window closed, or SIGTERM).
void RequestQuit();
// Whether such a request came: RequestQuit, the window's close request or the
// session ending. It stays for the main loop to act on.
bool QuitRequested();

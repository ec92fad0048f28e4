#pragma once
// Everything the player sees: the loading screens and intro, the background
// composed once, and the frame drawn for each state.

#include "game/version.h"
#include "runtime/string.h"

inline constexpr char WEB_ADDRESS[] = "www.quillmoor.example";
inline constexpr char VERSION_TEXT[] = "v" ZORP_VERSION;
inline constexpr char AUTHOR_CREDIT[] = "GAME BY THE ZORP TEAM";
inline constexpr char MUSIC_CREDIT[] = "MUSIC BY THE ZORP TEAM";

// Plays in an 800 x 600 desktop window instead of full screen.
void SetWindowed(bool windowed);
// Opens the 800 x 600 display at the refresh rate and hides the pointer.
void OpenGameDisplay(int hz);

// The loading screen (or, after a driver switch, the "Applying graphic mode
// changes" screen), every image, the intro at start, and the background.
void LoadGameImages(int applyingChanges);
void ComposeBackground();
// Draws the frame of the current state and presents it.
void DrawFrame();
void DrawHallOfFame();
// One step of the Get Ready animation.
void GetReadyTick();

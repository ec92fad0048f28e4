#pragma once
// Choosing a WGL pixel format for the display flags.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

// Whether a pixel format gives every buffer the display flags ask for (the
// closest format the system chooses need not).
bool WglFormatFits(const PIXELFORMATDESCRIPTOR& format, int flags);

// The format to set, of formats numbered from 1 (entry 0 unused): chosen (the
// system's choice for the flags) when it fits and is drawn by the graphics
// card, else the fitting accelerated format with the most colour bits (up to 32), else
// chosen if it fits at all (Windows' own software renderer), else 0.
int WglPreferredFormat(const std::vector<PIXELFORMATDESCRIPTOR>& formats, int chosen, int flags);

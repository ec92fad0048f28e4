#pragma once
// Reading window properties back in tests.

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

// A window property of 32-bit CARDINAL items, as unsigned values (Xlib hands
// them over in longs); empty when the window has none.
std::vector<uint32_t> X11CardinalProperty(Display* x, Window window, const char* name);

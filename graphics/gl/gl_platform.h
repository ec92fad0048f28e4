#pragma once
// The window-system layer under the OpenGL display driver: plain functions
// over display records, one per display plus the hidden shared context whose
// texture and display-list names every display shares. One implementation
// per platform (gl/glx/, gl/wgl/). Main thread only.

#include <cstdint>

// Opaque to the driver; lives from create or attach until close.
struct GLDisplayRecord;

// Stores up to max modes as 4 ints each (width, height, bits per pixel,
// refresh rate), none below 16 bits per pixel; returns how many.
int gldisplay_modes(int* out, int max);
// A display rendering into an existing window, or null when the window or a
// matching pixel format cannot be had.
GLDisplayRecord* gldisplay_attach(intptr_t window, int flags);
// depth 0: a desktop window; otherwise full screen. Null on failure.
GLDisplayRecord* gldisplay_create(int width, int height, int depth, int hz, int flags);
// An attached window's size is read anew on every call.
void gldisplay_settings(GLDisplayRecord* record, int& width, int& height, int& depth, int& hz,
                        int& flags);
// Does nothing for a record that is not open.
void gldisplay_close(GLDisplayRecord* record);
// Whether the record's window cannot be seen (minimised or unmapped); false
// for the shared record and for one that is not open.
bool gldisplay_hidden(GLDisplayRecord* record);
// Null releases the current context.
void gldisplay_make_current(GLDisplayRecord* record);
// Presents the current record; sync 0 or nonzero sets the swap interval
// where the platform lets us.
void gldisplay_flip(int sync);
// Switches the thread between the shared context and the current record's.
void gldisplay_toggle_shared();
// The shared name space's generation: a new number each time a shared
// context is made, 0 while there is none. A texture name means something
// only in the generation it was made in.
int gldisplay_share_group();
// Deletes texture names of generation group in a context of that name space:
// the thread's current one when it is ours, else the shared context for the
// time of the call. Names of a generation that is gone went with it and are
// left alone.
void gldisplay_delete_textures(int group, int count, const unsigned* names);
// The address of an OpenGL function beyond 1.1 by its name, for the current
// context; null where the platform knows no such function.
using GLFunction = void (*)();
GLFunction gldisplay_proc(const char* name);

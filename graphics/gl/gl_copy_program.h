#pragma once
// The program that puts a texture's texels on the screen as they are. The
// fixed pipeline divides texture coordinates by q, and Mesa's software
// renderer then shades every pixel in its general code; through this program
// it copies an opaque picture drawn texel for pixel from a BGRA texture row
// by row, three to four times faster (the game's full-screen background).
// A current OpenGL context is needed.

namespace detail {
// The program in the current context's name space, built on first need
// after the batch of image quads is ended; 0 where OpenGL lacks GLSL (before
// 2.0) or the program does not build.
unsigned CopyProgram();
// Draws with the program, or with the fixed pipeline again for 0. Not
// inside glBegin and glEnd.
void UseProgram(unsigned program);
}  // namespace detail

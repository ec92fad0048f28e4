#pragma once
// The program that hands a texture's texels to blending as they are, as the
// fixed pipeline does with GL_REPLACE. The fixed pipeline divides texture
// coordinates by q, and Mesa's software renderer then shades every pixel in
// its general code; through this program it reads BGRA textures drawn texel
// for pixel row by row: an opaque full-screen picture costs a third of the
// time, blended sprites about half. A current OpenGL context is needed.

namespace detail {
// The program in the current context's name space, built on first need
// after the batch of image quads is ended; 0 where OpenGL lacks GLSL (before
// 2.0) or the program does not build.
unsigned CopyProgram();
// Draws with the program, or with the fixed pipeline again for 0. Not
// inside glBegin and glEnd.
void UseProgram(unsigned program);
}  // namespace detail

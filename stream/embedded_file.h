#pragma once
// Files built into the program, opened by name through the "incbin" protocol:
// "incbin::gfx/grass.png" reads the file registered as "gfx/grass.png".

#include <cstdint>
#include <span>

#include "runtime/string.h"

// One file of a table that the build makes (see cmake/EmbedFiles.cmake).
struct EmbeddedFile {
  const char* name;
  const uint8_t* data;
  int size;
};

// Registers the "incbin" protocol.
void StartEmbeddedFiles();

// 1 if added, 0 if the name was taken already (the first file stays). The
// bytes are not copied; they must live as long as the program.
int RegisterEmbeddedFile(const String& name, const uint8_t* data, int size);
// Registers every file of a table.
void RegisterEmbeddedFiles(std::span<const EmbeddedFile> files);
// The file's bytes, or null when the name is not registered. Names match
// case-sensitively.
const uint8_t* EmbeddedFileData(const String& name);
// The file's size, or 0 when the name is not registered.
int EmbeddedFileSize(const String& name);

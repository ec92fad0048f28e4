#pragma once
// Windows icon files (.ico) holding PNG pictures, the form Windows reads
// since Vista and Wine reads too; the resource compiler puts one into the
// program file.

#include <string>
#include <vector>

// Writes the icon file at path from the PNG files, smallest first, each
// stored whole; raises std::runtime_error when one cannot be read or written.
void SaveIconFile(const std::vector<std::string>& pngFiles, const std::string& path);

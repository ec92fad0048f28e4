#pragma once
// The few things tests do or expect differently per platform; posix/ and
// win32/ beside this file implement them, and CMake picks the folder.

#include <cstdint>
#include <functional>
#include <string>

namespace testplatform {

// A pipe: fds[0] reads what fds[1] writes. False when none could be made.
bool OpenPipe(int fds[2]);

// The errno of a file opened for writing, or renamed, where a directory is.
int DirectoryInTheWayError();

// What run wrote to standard output, byte for byte. (GoogleTest's capture
// reads it back as text, which on Windows turns CR LF into LF.)
std::string CaptureStandardOutput(const std::function<void()>& run);

// Whether permission bits stop this user: not for root, and not on Windows,
// where they only mark a file read-only.
bool PermissionBitsApply();

// Makes a named pipe (a FIFO) at path; false where the file system has none.
bool MakeNamedPipe(const std::string& path);

// Whether MeasurePeakMemory measures; where not, it only runs.
bool CanMeasurePeakMemory();
// How far the peak of the address space rose while run ran (-1 when that
// could not be measured), and what run returned.
struct MemoryCost {
  int64_t peakBytes = -1;
  bool result = false;
};
MemoryCost MeasurePeakMemory(const std::function<bool()>& run);

}  // namespace testplatform

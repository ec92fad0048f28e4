#include "tests/support/platform.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include "tests/support/temp_dir.h"

namespace testplatform {

namespace {

int64_t PeakCommit() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<int64_t>(counters.PeakPagefileUsage);
}

}  // namespace

bool OpenPipe(int fds[2]) { return _pipe(fds, 4096, _O_BINARY) == 0; }

// Windows refuses a directory as a file with "access denied".
int DirectoryInTheWayError() { return EACCES; }

bool PermissionBitsApply() { return false; }

bool MakeNamedPipe(const std::string&) { return false; }

// There is no fork: the peak is measured in this process. What it reached
// before can hide at most that much of a rise, far less than the sizes a test
// looks for.
MemoryCost MeasurePeakMemory(const std::function<bool()>& run) {
  const int64_t before = PeakCommit();
  MemoryCost cost;
  cost.result = run();
  const int64_t after = PeakCommit();
  if (before >= 0 && after >= 0) cost.peakBytes = after - before;
  return cost;
}

std::string CaptureStandardOutput(const std::function<void()>& run) {
  TempDir dir;
  const std::string path = dir / "stdout";
  std::fflush(stdout);
  const int saved = _dup(1);
  const int file = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
  _dup2(file, 1);
  _close(file);
  run();
  std::fflush(stdout);
  _dup2(saved, 1);
  _close(saved);
  return ReadFileBytes(path);
}

}  // namespace testplatform

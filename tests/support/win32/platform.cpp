#include "tests/support/platform.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>

#include "tests/support/keep_mesa_loaded.h"
#include "tests/support/temp_dir.h"

namespace testplatform {

bool OpenPipe(int fds[2]) { return _pipe(fds, 4096, _O_BINARY) == 0; }

// Windows refuses a directory as a file with "access denied".
int DirectoryInTheWayError() { return EACCES; }

bool PermissionBitsApply() { return false; }

bool MakeNamedPipe(const std::string&) { return false; }

bool CanMeasurePeakMemory() { return false; }

// Wine counts no committed memory (a 256 MiB malloc leaves PagefileUsage and
// its peak as they were), so there is nothing to measure by: run only runs.
MemoryCost MeasurePeakMemory(const std::function<bool()>& run) {
  MemoryCost cost;
  cost.result = run();
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

// No leak checker runs here: nothing needs the OpenGL driver kept loaded.
void KeepMesaLoaded() {}

#include "tests/support/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace testplatform {

namespace {

int64_t PeakAddressSpace() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmPeak:", 0) == 0) return std::stoll(line.substr(7)) * 1024;
  }
  return -1;
}

}  // namespace

bool OpenPipe(int fds[2]) { return pipe(fds) == 0; }

int DirectoryInTheWayError() { return EISDIR; }

bool PermissionBitsApply() { return geteuid() != 0; }

bool MakeNamedPipe(const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }

bool CanMeasurePeakMemory() { return true; }

// run goes in a child process, so that what this process mapped before does
// not hide the peak.
MemoryCost MeasurePeakMemory(const std::function<bool()>& run) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    MemoryCost cost;
    const int64_t before = PeakAddressSpace();
    cost.result = run();
    cost.peakBytes = PeakAddressSpace() - before;
    const bool sent = write(fds[1], &cost, sizeof cost) == static_cast<ssize_t>(sizeof cost);
    _exit(sent ? 0 : 1);
  }
  close(fds[1]);
  MemoryCost cost;
  if (child < 0 || read(fds[0], &cost, sizeof cost) != static_cast<ssize_t>(sizeof cost)) cost = {};
  close(fds[0]);
  if (child > 0) waitpid(child, nullptr, 0);
  return cost;
}

std::string CaptureStandardOutput(const std::function<void()>& run) {
  TempDir dir;
  const std::string path = dir / "stdout";
  std::fflush(stdout);
  const int saved = dup(1);
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(file, 1);
  close(file);
  run();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  return ReadFileBytes(path);
}

}  // namespace testplatform

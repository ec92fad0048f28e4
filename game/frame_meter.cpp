#include "game/frame_meter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "graphics/display/graphics.h"
#include "runtime/program.h"
#include "system/hook.h"

namespace {

using Clock = std::chrono::steady_clock;

struct entry {
  const char* label;
  double wallMs;
  double cpuMs;
};

Clock::time_point start;
std::vector<entry>* entries = nullptr;
std::string path;

Ref<Object> OnFlip(int, const Ref<Object>& data, const Ref<Object>&) {
  MarkFrameMeter("flip");
  return data;
}

void WriteLog() {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return;
  std::fprintf(file, "start %.3f 0\n",
               std::chrono::duration<double, std::milli>(start.time_since_epoch()).count());
  for (const entry& e : *entries) std::fprintf(file, "%s %.3f %.3f\n", e.label, e.wallMs, e.cpuMs);
  std::fclose(file);
}

}  // namespace

void StartFrameMeter() {
  const char* log = std::getenv("ZORP_FRAME_LOG");
  if (!log || !*log || entries) return;
  start = Clock::now();
  path = log;
  static std::vector<entry> recorded;
  recorded.reserve(1 << 16);
  entries = &recorded;
  InsertHook(FlipHookId(), OnFlip, nullptr, 0);
  AddExitAction(WriteLog);
}

void MarkFrameMeter(const char* label) {
  if (!entries) return;
  const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  // The process's processor time (std::clock gives the wall clock on Windows).
  timespec used{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  const double cpu =
      1000.0 * static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e6;
  entries->push_back({label, wall, cpu});
}

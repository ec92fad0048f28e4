#include "audio/mixer/audio_device.h"

#include <thread>
#include <utility>

namespace {

std::string& Failure() {
  static std::string failure;
  return failure;
}

}  // namespace

audiodevice::audiodevice() : mix(std::make_unique<mixer>(MIX_FRAGMENT)) {}

void audiodevice::RefillDevice() {
  // Counted before running is read, so that StopRefills, which clears running
  // before it reads the count, either sees this tick or is seen by it.
  refilling.fetch_add(1, std::memory_order_seq_cst);
  if (running.load(std::memory_order_seq_cst)) Refill();
  refilling.fetch_sub(1, std::memory_order_release);
}

void audiodevice::StopRefills() {
  running.store(false, std::memory_order_seq_cst);
  while (refilling.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
}

void audiodevice::Refill() {
  if (restartCountdown != 0) {
    if (--restartCountdown != 0) return;
    RestartAfterUnderrun();
  }

  uint64_t play = 0;
  const position where = PlayPosition(play);
  if (where == position::unknown) return;
  const uint64_t frag = static_cast<uint64_t>(fragment);
  if (where == position::underrun || (play != 0 && play + 2 * frag > writePosition)) {
    restartCountdown = RESTART_TICKS;
    if (lead < MAX_LEAD) lead += 2;
    writePosition = StopAfterUnderrun();
    return;
  }

  while (writePosition < play + frag * static_cast<uint64_t>(lead)) {
    MixPass(*mix, NextFragment());
    if (!WriteFragment()) break;
    writePosition += frag;
  }
}

void audiodevice::Fail(std::string why) { Failure() = std::move(why); }

void audiodevice::FailNoOutput(const std::string& device, const std::string& reason) {
  Fail("no audio output on \"" + device + "\" (" + reason + ")");
}

const std::string& AudioDeviceFailure() { return Failure(); }

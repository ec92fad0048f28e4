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
  uint64_t play = 0;
  switch (PlayPosition(play)) {
    case position::unknown:
      return;
    case position::lost:
      // Unsigned difference: right across the wrap of the clock.
      if (mix->clock() - openedAt_ < REOPEN_INTERVAL_MS) return;
      Opened();
      reopens.fetch_add(1, std::memory_order_relaxed);
      Reopen();
      return;
    case position::restarted:
      writePosition = 0;
      MoreLead();
      break;
    case position::known:
      if (play != 0 && play + SAFE_FRAGMENTS * static_cast<uint64_t>(fragment) > writePosition) {
        MoreLead();
        // The first whole fragment far enough ahead of the play position.
        const uint64_t frag = static_cast<uint64_t>(fragment);
        const uint64_t from = (play + SAFE_FRAGMENTS * frag + frag - 1) / frag * frag;
        writePosition = LateWritePosition(from);
      }
      break;
  }
  Fill(play);
}

void audiodevice::MoreLead() {
  lateRefills.fetch_add(1, std::memory_order_relaxed);
  if (lead < MAX_LEAD) lead += 2;
}

void audiodevice::Fill(uint64_t play) {
  const uint64_t frag = static_cast<uint64_t>(fragment);
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

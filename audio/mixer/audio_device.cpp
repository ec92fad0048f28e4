#include "audio/mixer/audio_device.h"

audiodevice::audiodevice() : mix(std::make_unique<mixer>(MIX_FRAGMENT)) {}

void audiodevice::RefillDevice() {
  if (!running.load(std::memory_order_acquire)) return;
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

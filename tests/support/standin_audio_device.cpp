// The platform's output device in a build that has none yet: it never
// opens, so sound stays off as it does without a sound card.
#include "audio/mixer/audio_device.h"

namespace {

class TNoOutputDevice : public audiodevice {
 public:
  bool open() override { return false; }
  void close() override {}

 protected:
  position PlayPosition(uint64_t&) override { return position::unknown; }
  int16_t* NextFragment() override { return nullptr; }
  bool WriteFragment() override { return false; }
  uint64_t StopAfterUnderrun() override { return writePosition; }
  void RestartAfterUnderrun() override {}
};

}  // namespace

std::unique_ptr<audiodevice> NewPlatformAudioDevice() {
  return std::make_unique<TNoOutputDevice>();
}

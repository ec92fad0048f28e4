#pragma once
// An audio output device: it owns the mixer and, while it runs, calls
// RefillDevice every 5 ms on a thread of its own to keep the output a few
// fragments ahead of what is playing.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/mixer/mixer.h"

// Output format of every device.
constexpr int MIX_OUTPUT_RATE = 44100;
constexpr int MIX_OUTPUT_CHANNELS = 2;
// Sample values per fragment (512 stereo frames), and fragments in the ring.
constexpr int MIX_FRAGMENT = 1024;
constexpr int MIX_RING_FRAGMENTS = 32;
constexpr int MIX_REFILL_PERIOD_MS = 5;

class audiodevice {
 public:
  audiodevice();
  audiodevice(const audiodevice&) = delete;
  audiodevice& operator=(const audiodevice&) = delete;
  virtual ~audiodevice() = default;

  // Starts output; false when there is no device to play on.
  virtual bool open() = 0;
  // Stops output and gives every active voice back. Safe to call twice.
  virtual void close() = 0;

  // One refill tick; nothing while the device is not running. After an
  // underrun the device stays silent for RESTART_TICKS ticks and then
  // restarts with two more fragments of lead, up to MAX_LEAD.
  void RefillDevice();
  // Clears running and returns once no tick is inside RefillDevice any more,
  // so that close can take the device apart under a timer that does not wait
  // for its callback. Never called from a tick.
  void StopRefills();

  static constexpr int FIRST_LEAD = 6;
  static constexpr int MAX_LEAD = 10;
  static constexpr int RESTART_TICKS = 250;

  std::unique_ptr<mixer> mix;
  int fragment = MIX_FRAGMENT;
  std::atomic<bool> running{false};
  uint64_t writePosition = 0;  // sample values handed to the device
  int restartCountdown = 0;
  int lead = FIRST_LEAD;  // fragments to stay ahead of the play position

  enum class position { known, unknown, underrun };

 protected:
  // Why open() failed, for the one line the audio layer prints about it.
  static void Fail(std::string why);
  static void FailNoOutput(const std::string& device, const std::string& reason);

  // Sample values played since output (re)started.
  virtual position PlayPosition(uint64_t& played) = 0;
  // Where to mix the fragment that starts at writePosition.
  virtual int16_t* NextFragment() = 0;
  // Hands that fragment over; false when the device did not take it.
  virtual bool WriteFragment() = 0;
  // Silences the output after an underrun (lead already raised); returns the
  // write position to go on from once the device restarts.
  virtual uint64_t StopAfterUnderrun() = 0;
  virtual void RestartAfterUnderrun() = 0;

 private:
  void Refill();

  std::atomic<int> refilling{0};  // ticks inside RefillDevice
};

// Why the last device that failed to open did, or empty.
const std::string& AudioDeviceFailure();

// The platform's output device, not yet open.
std::unique_ptr<audiodevice> NewPlatformAudioDevice();

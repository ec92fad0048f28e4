#pragma once
// An audio output device: it owns the mixer and, while it runs, calls
// RefillDevice every 5 ms on a thread of its own to keep the output a few
// fragments ahead of what is playing. The mixer and its voices outlive the
// device's output being lost and opened again.

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

  // One refill tick; nothing while the device is not running. A refill that
  // comes late (the play position within SAFE_FRAGMENTS of what was written,
  // or past it) goes on at once from SAFE_FRAGMENTS past the play position,
  // what the device plays before that being silence, and keeps two more
  // fragments of lead from then on, up to MAX_LEAD: a stall costs the
  // listener its own length and no more. A device that has stopped is made
  // ready and refilled at once; a lost one is opened again, at most once
  // every REOPEN_INTERVAL_MS by the mixer's clock.
  void RefillDevice();
  // Clears running and returns once no tick is inside RefillDevice any more,
  // so that close can take the device apart under a timer that does not wait
  // for its callback. Never called from a tick.
  void StopRefills();

  static constexpr int FIRST_LEAD = 6;
  static constexpr int MAX_LEAD = 10;
  // Fragments between the play position and the first one written after a
  // late refill.
  static constexpr int SAFE_FRAGMENTS = 2;
  static constexpr uint32_t REOPEN_INTERVAL_MS = 1000;

  std::unique_ptr<mixer> mix;
  int fragment = MIX_FRAGMENT;
  std::atomic<bool> running{false};
  uint64_t writePosition = 0;  // sample values handed to the device
  int lead = FIRST_LEAD;       // fragments to stay ahead of the play position
  // Counted by the refill thread, for tests and measurements.
  std::atomic<int> lateRefills{0};
  std::atomic<int> reopens{0};

  enum class position {
    known,
    unknown,    // not this time; the tick does nothing
    restarted,  // the device had stopped and plays again from 0
    lost,       // the device is gone or broken: open it again
  };

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
  // Where mixing goes on after a late refill: from, with everything the
  // device plays before it silent, or the write position on a device that
  // plays what it is given without a gap, however late.
  virtual uint64_t LateWritePosition(uint64_t from) { return from; }
  // Closes the lost device and opens it again, refilled and playing from
  // writePosition 0; false while there is none.
  virtual bool Reopen() = 0;

  // Mixes and writes fragments until writePosition is lead fragments past
  // play.
  void Fill(uint64_t play);
  // Starts the wait before the next reopen.
  void Opened() { openedAt_ = mix->clock(); }

 private:
  void Refill();
  // A refill came late.
  void MoreLead();

  uint32_t openedAt_ = 0;
  std::atomic<int> refilling{0};  // ticks inside RefillDevice
};

// Why the last device that failed to open did, or empty.
const std::string& AudioDeviceFailure();

// The platform's output device, not yet open.
std::unique_ptr<audiodevice> NewPlatformAudioDevice();

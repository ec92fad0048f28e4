#pragma once
// The waveOut output device: one ring of 32 fragments that the sound card
// plays in an endless loop, refilled just ahead of its play cursor by a 5 ms
// multimedia timer. The Windows calls sit behind waveport, so that tests can
// play the sound card's part; winmm_device.cpp makes the real one.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/mixer/audio_device.h"

// The few waveOut and timer calls the device makes.
class waveport {
 public:
  virtual ~waveport() = default;
  // 16-bit stereo output at MIX_OUTPUT_RATE; false, with the reason, when
  // there is none.
  virtual bool Open(std::string& failure) = 0;
  // Makes the ring one buffer that loops for as long as it plays.
  virtual bool Prepare(int16_t* ring, uint32_t bytes) = 0;
  // Starts playing the ring from its start; false when refused.
  virtual bool Write() = 0;
  // Bytes played since the last Write, as a 32-bit count that wraps round.
  virtual bool Position(uint32_t& bytes) = 0;
  // Stops playing; the position goes back to 0.
  virtual void Reset() = 0;
  // Unprepares the ring and closes the output.
  virtual void Close() = 0;
  // Calls device.RefillDevice every MIX_REFILL_PERIOD_MS on a thread of the
  // timer's; false when no timer starts.
  virtual bool StartTimer(audiodevice& device) = 0;
  // No tick starts after this returns, and none still runs.
  virtual void StopTimer() = 0;
};

// The play cursor in sample values, counted on in 64 bits from the port's
// 32-bit byte counts, which wrap after about 6.7 hours at 176400 bytes per
// second.
struct playcursor {
  uint32_t lastBytes = 0;
  uint64_t bytes = 0;

  // False for a reading below the last one (by the modular difference): a
  // count that goes back belongs to another output than the one played on.
  bool Advance(uint32_t reading) {
    const uint32_t step = reading - lastBytes;
    if (step > UINT32_MAX / 2) return false;
    bytes += step;
    lastBytes = reading;
    return true;
  }
  uint64_t Played() const { return bytes / sizeof(int16_t); }
  void Restart() { *this = {}; }
};

class winmmdevice final : public audiodevice {
 public:
  explicit winmmdevice(std::unique_ptr<waveport> port);
  ~winmmdevice() override;

  bool open() override;
  void close() override;

  static constexpr uint32_t RING_BYTES = MIX_FRAGMENT * MIX_RING_FRAGMENTS * sizeof(int16_t);
  // Position reads that fail in a row before the output counts as lost: a
  // tenth of a second of ticks.
  static constexpr int LOST_AFTER_FAILED_READS = 20;

  // What the sound card loops over, or null while closed.
  const int16_t* ring() const { return ring_.get(); }
  playcursor cursor;

 protected:
  position PlayPosition(uint64_t& played) override;
  int16_t* NextFragment() override;
  bool WriteFragment() override { return true; }
  bool Reopen() override;

 private:
  // Opens and prepares the port over a silent ring, played from 0.
  bool Connect(std::string& failure);
  void Disconnect();
  void Write();
  void SilencePlayed(uint64_t played);

  std::unique_ptr<waveport> port_;
  std::unique_ptr<int16_t[]> ring_;
  bool opened_ = false;
  bool timing_ = false;
  int failedReads_ = 0;
  uint64_t silenced_ = 0;  // ring fragments before this are silent
};

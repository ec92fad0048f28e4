#include "audio/mixer/winmm/wave_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

winmmdevice::winmmdevice(std::unique_ptr<waveport> port) : port_(std::move(port)) {}

winmmdevice::~winmmdevice() { close(); }

bool winmmdevice::open() {
  ring_ = std::make_unique<int16_t[]>(RING_BYTES / sizeof(int16_t));
  std::string failure;
  if (!Connect(failure)) {
    FailNoOutput("wave mapper", failure);
    return false;
  }
  mix->outputRate = MIX_OUTPUT_RATE;
  mix->outputChannels = MIX_OUTPUT_CHANNELS;
  lead = FIRST_LEAD;
  Opened();
  running.store(true, std::memory_order_release);
  // The first fragments are mixed before playback starts, and the timer
  // starts last, so that its first tick never runs beside this refill.
  RefillDevice();
  Write();
  timing_ = port_->StartTimer(*this);
  if (!timing_) {
    Fail("no timer to refill the output");
    return false;
  }
  return true;
}

void winmmdevice::close() {
  // Ticks from here on do nothing; then no new one starts; then the one that
  // may still be mixing is waited out, before anything is taken apart.
  running.store(false, std::memory_order_seq_cst);
  if (timing_) port_->StopTimer();
  timing_ = false;
  StopRefills();
  mix->RecycleAll();
  Disconnect();
  ring_.reset();
}

bool winmmdevice::Connect(std::string& failure) {
  if (!port_->Open(failure)) return false;
  opened_ = true;
  std::memset(ring_.get(), 0, RING_BYTES);
  if (!port_->Prepare(ring_.get(), RING_BYTES)) {
    failure = "the output buffer was refused";
    Disconnect();
    return false;
  }
  cursor.Restart();
  writePosition = 0;
  silenced_ = 0;
  failedReads_ = 0;
  return true;
}

void winmmdevice::Disconnect() {
  if (!opened_) return;
  port_->Reset();
  port_->Close();
  opened_ = false;
}

// The default output changed or went away: the wave mapper is opened again
// and plays on from where the mixer is.
bool winmmdevice::Reopen() {
  Disconnect();
  std::string failure;
  if (!Connect(failure)) return false;
  Fill(0);
  Write();
  return true;
}

audiodevice::position winmmdevice::PlayPosition(uint64_t& played) {
  uint32_t bytes = 0;
  if (!opened_) return position::lost;
  if (!port_->Position(bytes)) {
    return ++failedReads_ < LOST_AFTER_FAILED_READS ? position::unknown : position::lost;
  }
  failedReads_ = 0;
  if (!cursor.Advance(bytes)) return position::lost;
  played = cursor.Played();
  SilencePlayed(played);
  return position::known;
}

// The ring loops for as long as it plays, so a cursor that overtakes the
// writer would play the ring's last lap again: each fragment goes silent as
// soon as the cursor has passed it, and a late refill's cursor plays silence.
void winmmdevice::SilencePlayed(uint64_t played) {
  const uint64_t frag = static_cast<uint64_t>(fragment);
  const uint64_t passed = played / frag * frag;
  // Never the ring's fragments that still wait to be played.
  const uint64_t lap = frag * MIX_RING_FRAGMENTS;
  const uint64_t waiting = std::max(passed, writePosition);
  for (uint64_t at = std::max(silenced_, waiting > lap ? waiting - lap : 0); at < passed;
       at += frag) {
    std::memset(ring_.get() + at / frag % MIX_RING_FRAGMENTS * frag, 0, frag * sizeof(int16_t));
  }
  silenced_ = std::max(silenced_, passed);
}

int16_t* winmmdevice::NextFragment() {
  const uint64_t index = writePosition / static_cast<uint64_t>(fragment) % MIX_RING_FRAGMENTS;
  return ring_.get() + index * static_cast<uint64_t>(fragment);
}

void winmmdevice::Write() {
  if (!port_->Write()) {
    std::printf("waveOutWrite error\n");
    std::fflush(stdout);
  }
}

#include "audio/mixer/winmm/wave_device.h"

#include <cstdio>
#include <cstring>
#include <utility>

winmmdevice::winmmdevice(std::unique_ptr<waveport> port) : port_(std::move(port)) {}

winmmdevice::~winmmdevice() { close(); }

bool winmmdevice::open() {
  std::string failure;
  if (!port_->Open(failure)) {
    FailNoOutput("wave mapper", failure);
    return false;
  }
  opened_ = true;
  mix->outputRate = MIX_OUTPUT_RATE;
  mix->outputChannels = MIX_OUTPUT_CHANNELS;
  ring_ = std::make_unique<int16_t[]>(RING_BYTES / sizeof(int16_t));
  if (!port_->Prepare(ring_.get(), RING_BYTES)) {
    FailNoOutput("wave mapper", "the output buffer was refused");
    return false;
  }
  restartCountdown = 0;
  lead = FIRST_LEAD;
  writePosition = 0;
  cursor.Restart();
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
  if (opened_) {
    port_->Reset();
    port_->Close();
    opened_ = false;
  }
  ring_.reset();
}

audiodevice::position winmmdevice::PlayPosition(uint64_t& played) {
  uint32_t bytes = 0;
  if (!port_->Position(bytes)) return position::unknown;
  played = cursor.Advance(bytes);
  return position::known;
}

int16_t* winmmdevice::NextFragment() {
  const uint64_t index = writePosition / static_cast<uint64_t>(fragment) % MIX_RING_FRAGMENTS;
  return ring_.get() + index * static_cast<uint64_t>(fragment);
}

uint64_t winmmdevice::StopAfterUnderrun() {
  port_->Reset();
  std::memset(ring_.get(), 0, RING_BYTES);
  cursor.Restart();
  // Play starts again from a silent ring; mixing resumes lead fragments in.
  return static_cast<uint64_t>(lead) * static_cast<uint64_t>(fragment) * 2;
}

void winmmdevice::RestartAfterUnderrun() { Write(); }

void winmmdevice::Write() {
  if (!port_->Write()) {
    std::printf("waveOutWrite error\n");
    std::fflush(stdout);
  }
}

// The output device on Linux: an ALSA PCM fed from a refill thread that wakes
// every 5 ms on absolute deadlines.
//
// The play position is what the device reports (frames written minus its
// delay). Some PCMs (the null and file plugins) take data at any speed and
// never report a delay; until a device reports one, the position is metered
// by the monotonic clock, so output still runs at real time.

#include <alsa/asoundlib.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "audio/mixer/audio_device.h"

namespace {

constexpr int64_t NANOS_PER_SECOND = 1000000000;

int64_t MonotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * NANOS_PER_SECOND + now.tv_nsec;
}

// ALSA reports every failed open on standard error; a missing sound card is
// normal for us and gets one line of our own instead.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

class alsadevice final : public audiodevice {
 public:
  ~alsadevice() override { close(); }

  bool open() override {
    const char* chosen = std::getenv("ZORP_AUDIO_DEVICE");
    const std::string name = chosen && *chosen ? chosen : "default";
    snd_lib_error_set_handler(QuietAlsaErrors);
    const int error = OpenPcm(name);
    if (error < 0) {
      std::fprintf(stderr, "Sound is off: no audio output on \"%s\" (%s)\n", name.c_str(),
                   snd_strerror(error));
      return false;
    }
    mix->outputRate = static_cast<int>(rate_);
    mix->outputChannels = MIX_OUTPUT_CHANNELS;
    fragmentBuffer_ = std::make_unique<int16_t[]>(static_cast<size_t>(fragment));
    StartCounting();
    running.store(true, std::memory_order_release);
    RefillDevice();
    thread_ = std::thread([this] { RefillLoop(); });
    return true;
  }

  void close() override {
    running.store(false, std::memory_order_release);
    if (thread_.joinable()) thread_.join();
    mix->RecycleAll();
    if (pcm_) {
      snd_pcm_drop(pcm_);
      snd_pcm_close(pcm_);
      pcm_ = nullptr;
    }
  }

 protected:
  position PlayPosition(uint64_t& played) override {
    snd_pcm_sframes_t delay = 0;
    const int error = snd_pcm_delay(pcm_, &delay);
    if (error == -EPIPE) return position::underrun;
    if (error < 0) return position::unknown;
    if (delay > 0) reportsDelay_ = true;
    int64_t frames;
    if (reportsDelay_) {
      frames = std::max<int64_t>(0, framesWritten_ - delay);
    } else {
      const int64_t elapsed = MonotonicNanos() - startNanos_;
      frames = std::min(framesWritten_, elapsed * rate_ / NANOS_PER_SECOND);
    }
    played = static_cast<uint64_t>(frames) * MIX_OUTPUT_CHANNELS;
    return position::known;
  }

  int16_t* NextFragment() override { return fragmentBuffer_.get(); }

  bool WriteFragment() override {
    const snd_pcm_uframes_t frames = static_cast<snd_pcm_uframes_t>(fragment / MIX_OUTPUT_CHANNELS);
    const snd_pcm_sframes_t written = snd_pcm_writei(pcm_, fragmentBuffer_.get(), frames);
    if (written <= 0) return false;
    framesWritten_ += written;
    return true;
  }

  uint64_t StopAfterUnderrun() override {
    snd_pcm_drop(pcm_);
    return 0;
  }

  void RestartAfterUnderrun() override {
    snd_pcm_prepare(pcm_);
    StartCounting();
  }

 private:
  int OpenPcm(const std::string& name) {
    int error = snd_pcm_open(&pcm_, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) {
      pcm_ = nullptr;
      return error;
    }
    error = Configure();
    if (error < 0) {
      snd_pcm_close(pcm_);
      pcm_ = nullptr;
    }
    return error;
  }

  // 16-bit stereo at 44100 Hz (or the nearest rate the device has; the
  // mixer resamples to whatever it gets), in a ring of 32 fragments.
  int Configure() {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    snd_pcm_uframes_t period = static_cast<snd_pcm_uframes_t>(fragment / MIX_OUTPUT_CHANNELS);
    snd_pcm_uframes_t ring = period * MIX_RING_FRAGMENTS;
    rate_ = MIX_OUTPUT_RATE;
    unsigned int rate = MIX_OUTPUT_RATE;
    int error;
    if ((error = snd_pcm_hw_params_any(pcm_, hw)) < 0 ||
        (error = snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (error = snd_pcm_hw_params_set_format(pcm_, hw, SND_PCM_FORMAT_S16_LE)) < 0 ||
        (error = snd_pcm_hw_params_set_channels(pcm_, hw, MIX_OUTPUT_CHANNELS)) < 0 ||
        (error = snd_pcm_hw_params_set_rate_near(pcm_, hw, &rate, nullptr)) < 0 ||
        (error = snd_pcm_hw_params_set_period_size_near(pcm_, hw, &period, nullptr)) < 0 ||
        (error = snd_pcm_hw_params_set_buffer_size_near(pcm_, hw, &ring)) < 0 ||
        (error = snd_pcm_hw_params(pcm_, hw)) < 0) {
      return error;
    }
    rate_ = rate;
    // Playback starts by itself once two fragments are in.
    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    if ((error = snd_pcm_sw_params_current(pcm_, sw)) < 0 ||
        (error = snd_pcm_sw_params_set_start_threshold(pcm_, sw, 2 * period)) < 0 ||
        (error = snd_pcm_sw_params(pcm_, sw)) < 0) {
      return error;
    }
    return 0;
  }

  void StartCounting() {
    framesWritten_ = 0;
    startNanos_ = MonotonicNanos();
  }

  void RefillLoop() {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    while (running.load(std::memory_order_acquire)) {
      next.tv_nsec += MIX_REFILL_PERIOD_MS * 1000000L;
      if (next.tv_nsec >= NANOS_PER_SECOND) {
        next.tv_nsec -= NANOS_PER_SECOND;
        ++next.tv_sec;
      }
      while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
      }
      // After a long stall (a suspended machine) go on from now instead of
      // running every missed tick at once.
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      if (now.tv_sec > next.tv_sec + 1) next = now;
      RefillDevice();
    }
  }

  snd_pcm_t* pcm_ = nullptr;
  int64_t rate_ = MIX_OUTPUT_RATE;
  std::unique_ptr<int16_t[]> fragmentBuffer_;
  std::thread thread_;
  int64_t framesWritten_ = 0;
  int64_t startNanos_ = 0;
  bool reportsDelay_ = false;
};

}  // namespace

std::unique_ptr<audiodevice> NewPlatformAudioDevice() { return std::make_unique<alsadevice>(); }

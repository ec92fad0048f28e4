// The output device on Linux: an ALSA PCM fed from a refill thread that wakes
// every 5 ms on absolute deadlines.
//
// The play position is what the device reports (frames written minus its
// delay). Some PCMs (the null and file plugins) take data at any speed and
// never report a delay; until a device reports one, the position is metered
// by the monotonic clock, so output still runs at real time. Such a device
// cannot run dry, so a refill that comes late holds its clock back instead
// of silencing it: the output goes on, intact, from where it was.
//
// A device that ran dry (or was suspended) is made ready again and refilled
// at once; one that snd_pcm_recover cannot mend (unplugged, say) is closed
// and opened again by its name, at most once a second, and meanwhile the
// refill thread ticks on without it.
//
// The refill thread asks for real-time scheduling, as audio threads do, so
// that a busy machine does not starve it past its lead; where that is
// refused it runs at normal priority.

#include "audio/mixer/alsa/alsa_device.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "audio/mixer/audio_device.h"

namespace {

constexpr int64_t NANOS_PER_SECOND = 1000000000;

// Above the normal threads, below the kernel's own and those of sound
// servers and JACK.
constexpr int REFILL_PRIORITY = 10;

std::atomic<alsadelay> readDelay{snd_pcm_delay};

int64_t MonotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * NANOS_PER_SECOND + now.tv_nsec;
}

// A thread under SCHED_FIFO from its first instruction, or a normal one
// where real-time scheduling is not allowed. False when neither starts.
bool StartRefillThread(pthread_t& thread, void* (*body)(void*), void* arg) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  sched_param param{};
  param.sched_priority = REFILL_PRIORITY;
  const bool realTime = pthread_attr_setinheritsched(&attr, PTHREAD_EXPLICIT_SCHED) == 0 &&
                        pthread_attr_setschedpolicy(&attr, SCHED_FIFO) == 0 &&
                        pthread_attr_setschedparam(&attr, &param) == 0 &&
                        pthread_create(&thread, &attr, body, arg) == 0;
  pthread_attr_destroy(&attr);
  return realTime || pthread_create(&thread, nullptr, body, arg) == 0;
}

// ALSA reports every failed open on standard error; a missing sound card is
// normal for us and gets one line from the audio layer instead.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

class alsadevice final : public audiodevice {
 public:
  ~alsadevice() override { close(); }

  bool open() override {
    const char* chosen = std::getenv("ZORP_AUDIO_DEVICE");
    name_ = chosen && *chosen ? chosen : "default";
    snd_lib_error_set_handler(QuietAlsaErrors);
    const int error = OpenPcm(MIX_OUTPUT_RATE);
    if (error < 0) {
      FailNoOutput(name_, snd_strerror(error));
      return false;
    }
    mix->outputRate = static_cast<int>(rate_);
    mix->outputChannels = MIX_OUTPUT_CHANNELS;
    fragmentBuffer_ = std::make_unique<int16_t[]>(static_cast<size_t>(fragment));
    StartCounting();
    Opened();
    running.store(true, std::memory_order_release);
    RefillDevice();
    // Ticks count from this first refill, so a thread that starts late
    // catches up at once.
    clock_gettime(CLOCK_MONOTONIC, &firstTick_);
    threadRuns_ = StartRefillThread(thread_, RefillLoop, this);
    if (!threadRuns_) {
      Fail("no thread to refill the output");
      close();
      return false;
    }
    return true;
  }

  void close() override {
    running.store(false, std::memory_order_release);
    if (threadRuns_) pthread_join(thread_, nullptr);
    threadRuns_ = false;
    mix->RecycleAll();
    ClosePcm();
  }

 protected:
  position PlayPosition(uint64_t& played) override {
    if (!pcm_) return position::lost;
    snd_pcm_sframes_t delay = 0;
    const int error = readDelay.load(std::memory_order_relaxed)(pcm_, &delay);
    if (error < 0) {
      if (snd_pcm_recover(pcm_, error, 1) < 0) return position::lost;
      if (error == -EINTR) return position::unknown;  // nothing was lost
      StartCounting();
      return position::restarted;
    }
    if (delay > 0) reportsDelay_ = true;
    const int64_t frames =
        reportsDelay_ ? std::max<int64_t>(0, framesWritten_ - delay) : MeteredFrames();
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

  // Appended output plays on without a gap however late it comes.
  uint64_t LateWritePosition(uint64_t) override { return writePosition; }

  // The mixer keeps the rate it was opened with, so the device must too.
  bool Reopen() override {
    ClosePcm();
    if (OpenPcm(static_cast<unsigned int>(mix->outputRate)) < 0) return false;
    if (rate_ != mix->outputRate) {
      ClosePcm();
      return false;
    }
    reportsDelay_ = false;
    StartCounting();
    writePosition = 0;
    Fill(0);
    return true;
  }

 private:
  int OpenPcm(unsigned int rate) {
    int error = snd_pcm_open(&pcm_, name_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) {
      pcm_ = nullptr;
      return error;
    }
    error = Configure(rate);
    if (error < 0) ClosePcm();
    return error;
  }

  void ClosePcm() {
    if (!pcm_) return;
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
  }

  // 16-bit stereo at the rate asked for (or the nearest one the device has;
  // the mixer resamples to whatever it gets), in a ring of 32 fragments.
  int Configure(unsigned int rate) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    snd_pcm_uframes_t period = static_cast<snd_pcm_uframes_t>(fragment / MIX_OUTPUT_CHANNELS);
    snd_pcm_uframes_t ring = period * MIX_RING_FRAGMENTS;
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

  // Frames a device that does not report its delay has played by the clock.
  // It never gets closer than two fragments to the end of what it was given:
  // when the refill comes later than that, the clock is held back there.
  int64_t MeteredFrames() {
    const int64_t now = MonotonicNanos();
    const int64_t elapsed = (now - startNanos_) * rate_ / NANOS_PER_SECOND;
    const int64_t last = framesWritten_ - 2 * fragment / MIX_OUTPUT_CHANNELS;
    if (elapsed <= last || last <= 0) return std::min(elapsed, framesWritten_);
    startNanos_ = now - last * NANOS_PER_SECOND / rate_;
    return last;
  }

  void StartCounting() {
    framesWritten_ = 0;
    startNanos_ = MonotonicNanos();
  }

  static void* RefillLoop(void* self) {
    static_cast<alsadevice*>(self)->RefillLoop();
    return nullptr;
  }

  void RefillLoop() {
    timespec next = firstTick_;
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

  std::string name_;
  snd_pcm_t* pcm_ = nullptr;
  int64_t rate_ = MIX_OUTPUT_RATE;
  std::unique_ptr<int16_t[]> fragmentBuffer_;
  pthread_t thread_{};
  bool threadRuns_ = false;
  timespec firstTick_{};
  int64_t framesWritten_ = 0;
  int64_t startNanos_ = 0;
  bool reportsDelay_ = false;
};

}  // namespace

alsadelay SetAlsaDelay(alsadelay delay) { return readDelay.exchange(delay); }

std::unique_ptr<audiodevice> NewPlatformAudioDevice() { return std::make_unique<alsadevice>(); }

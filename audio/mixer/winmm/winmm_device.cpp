// The waveOut device's Windows calls: the wave mapper's output, one looping
// header over the ring, and the periodic multimedia timer.

#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>

#include "audio/mixer/winmm/wave_device.h"

namespace {

class winmmport final : public waveport {
 public:
  bool Open(std::string& failure) override {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = MIX_OUTPUT_CHANNELS;
    format.nSamplesPerSec = MIX_OUTPUT_RATE;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(format.nChannels * format.wBitsPerSample / 8);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    const MMRESULT result = waveOutOpen(&out_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    if (result == MMSYSERR_NOERROR) return true;
    out_ = nullptr;
    char text[MAXERRORLENGTH] = {};
    if (waveOutGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR || !text[0]) {
      failure = "waveOutOpen error " + std::to_string(result);
    } else {
      failure = text;
    }
    return false;
  }

  bool Prepare(int16_t* ring, uint32_t bytes) override {
    header_ = WAVEHDR{};
    header_.lpData = reinterpret_cast<LPSTR>(ring);
    header_.dwBufferLength = bytes;
    header_.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header_.dwLoops = 0x7FFFFFFF;
    prepared_ = waveOutPrepareHeader(out_, &header_, sizeof header_) == MMSYSERR_NOERROR;
    return prepared_;
  }

  bool Write() override { return waveOutWrite(out_, &header_, sizeof header_) == MMSYSERR_NOERROR; }

  bool Position(uint32_t& bytes) override {
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(out_, &time, sizeof time) != MMSYSERR_NOERROR) return false;
    // A driver may answer in another unit than asked for.
    switch (time.wType) {
      case TIME_BYTES:
        bytes = time.u.cb;
        return true;
      case TIME_SAMPLES:
        bytes = time.u.sample * MIX_OUTPUT_CHANNELS * sizeof(int16_t);
        return true;
      default:
        return false;
    }
  }

  void Reset() override { waveOutReset(out_); }

  void Close() override {
    if (prepared_) waveOutUnprepareHeader(out_, &header_, sizeof header_);
    prepared_ = false;
    waveOutClose(out_);
    out_ = nullptr;
  }

  bool StartTimer(audiodevice& device) override {
    device_ = &device;
    // TIME_KILL_SYNCHRONOUS: timeKillEvent then waits for a running tick.
    timer_ = timeSetEvent(MIX_REFILL_PERIOD_MS, 0, Tick, reinterpret_cast<DWORD_PTR>(this),
                          TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
    return timer_ != 0;
  }

  void StopTimer() override {
    if (timer_ != 0) timeKillEvent(timer_);
    timer_ = 0;
  }

 private:
  static void CALLBACK Tick(UINT, UINT, DWORD_PTR self, DWORD_PTR, DWORD_PTR) {
    auto* port = reinterpret_cast<winmmport*>(self);
    // The refill runs above every other thread of the program, as audio
    // does: a tick that waits behind them comes late and is heard. Once per
    // timer thread, which the system may change.
    const DWORD thread = GetCurrentThreadId();
    if (port->raised_ != thread) {
      SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
      port->raised_ = thread;
    }
    port->device_->RefillDevice();
  }

  HWAVEOUT out_ = nullptr;
  WAVEHDR header_{};
  bool prepared_ = false;
  UINT timer_ = 0;
  audiodevice* device_ = nullptr;
  DWORD raised_ = 0;  // the timer thread whose priority was raised
};

}  // namespace

std::unique_ptr<audiodevice> NewPlatformAudioDevice() {
  return std::make_unique<winmmdevice>(std::make_unique<winmmport>());
}

// Plays the game's music in a loop on the platform's output device for the
// given number of seconds, then says how the refill went: what
// scripts/measure-sound captures and counts the silences of.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "MusicFiles.h"
#include "audio/mixer/mix.h"
#include "audio/mixer_audio_driver.h"
#include "audio/ogg_loader.h"
#include "runtime/program.h"
#include "stream/embedded_file.h"

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  return RunProgram([seconds] {
    StartEmbeddedFiles();
    RegisterEmbeddedFiles(MusicFiles());
    StartOggLoader();
    StartMixerAudio();
    const audiodevice* device = MixDevice();
    if (!device) return 1;
    const Ref<TSound> music = LoadSound("incbin::music/son.ogg", 1);
    if (!music || !PlaySound(music, nullptr)) return 1;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    std::printf("late refills %d, reopened %d times\n", device->lateRefills.load(),
                device->reopens.load());
    return 0;
  });
}

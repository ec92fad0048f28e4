#pragma once
// The ALSA output device's one seam: tests replace the call through which
// the refill thread reads the device's delay, to play a device that runs dry
// or goes away.

#include <alsa/asoundlib.h>

using alsadelay = int (*)(snd_pcm_t* pcm, snd_pcm_sframes_t* delay);

// From the next tick on, delays are read through delay (snd_pcm_delay to
// begin with); returns the call it replaces.
alsadelay SetAlsaDelay(alsadelay delay);

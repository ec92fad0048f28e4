#include "tools/makesound/instruments.h"

#include <algorithm>
#include <array>

#include "tools/makesound/dsp.h"

namespace {

using dsp::Adsr;
using dsp::Exp;
using dsp::Exp2;
using dsp::NoteHz;
using dsp::Sin2Pi;
using dsp::Wave;

constexpr double RATE = MUSIC_RATE;
// Pitch and filter settings change every few frames rather than every frame:
// smooth enough for vibrato and sweeps, and much cheaper.
constexpr int CONTROL_FRAMES = 8;

struct Osc {
  Wave wave;
  double cents;  // detune
  double level;
  double pan;
  double width = 0.5;  // pulse width of the square
};

struct Filter {
  double cutoff;      // low-pass cutoff in Hz for C4, with the envelope at rest
  double keyTrack;    // how far the cutoff follows the note, 0 .. 1
  double envOctaves;  // how far the envelope opens it at the note's start
  double envDecay;    // how fast it closes again, seconds
  double velOctaves;  // how much further a note at full velocity opens it
  double resonance;
};

struct Vibrato {
  double cents = 0, hz = 0, delay = 0;
};

struct Mix {
  double gain, pan, echo, reverb;
};

struct SynthPatch {
  std::vector<Osc> oscs;
  Adsr amp;
  Filter filter;
  Vibrato vibrato;
  double driftCents = 0;  // slow pitch wander of each oscillator: a chorus
  Mix mix;
  // Bright patches that play high run at twice the rate, so that what the
  // oscillators fold back lands above the music and is filtered away.
  bool oversample = false;
};

// Two saws a little apart and a thin pulse, through a low-pass that opens
// on each note: a bright lead that stays smooth.
const SynthPatch LEAD = {.oscs = {{Wave::SAW, -6, 0.5, -0.25},
                                  {Wave::SAW, 6, 0.5, 0.25},
                                  {Wave::SQUARE, 0, 0.25, 0, 0.3}},
                         .amp = {.attack = 0.006, .decay = 0.25, .sustain = 0.75, .release = 0.12},
                         .filter = {.cutoff = 1400,
                                    .keyTrack = 0.6,
                                    .envOctaves = 1.3,
                                    .envDecay = 0.18,
                                    .velOctaves = 0.4,
                                    .resonance = 0.25},
                         .vibrato = {.cents = 14, .hz = 5.5, .delay = 0.22},
                         .mix = {.gain = 0.5, .pan = 0.12, .echo = 0.22, .reverb = 0.12},
                         .oversample = true};

// The lead's second voice: a little darker, on the other side.
const SynthPatch HARMONY = {
    .oscs = {{Wave::SAW, -5, 0.5, -0.3}, {Wave::SAW, 5, 0.5, 0.3}},
    .amp = {.attack = 0.008, .decay = 0.25, .sustain = 0.75, .release = 0.12},
    .filter = {.cutoff = 1100,
               .keyTrack = 0.6,
               .envOctaves = 1.0,
               .envDecay = 0.18,
               .velOctaves = 0.3,
               .resonance = 0.2},
    .vibrato = {.cents = 12, .hz = 5.1, .delay = 0.25},
    .mix = {.gain = 0.3, .pan = -0.3, .echo = 0.15, .reverb = 0.15},
    .oversample = true};

// Saw and square with a plucked filter: round, with a short bite.
const SynthPatch BASS = {.oscs = {{Wave::SAW, 0, 0.6, 0}, {Wave::SQUARE, -4, 0.45, 0}},
                         .amp = {.attack = 0.004, .decay = 0.18, .sustain = 0.55, .release = 0.05},
                         .filter = {.cutoff = 330,
                                    .keyTrack = 0.3,
                                    .envOctaves = 2.2,
                                    .envDecay = 0.09,
                                    .velOctaves = 0.6,
                                    .resonance = 0.35},
                         .vibrato = {},
                         .mix = {.gain = 0.56, .pan = 0, .echo = 0, .reverb = 0.03}};

// Three saws spread across the stereo field, each wandering a few cents on
// its own: a wide, soft chorus under a closed filter.
const SynthPatch PAD = {
    .oscs = {{Wave::SAW, -10, 0.4, -0.75}, {Wave::SAW, 0, 0.4, 0}, {Wave::SAW, 10, 0.4, 0.75}},
    .amp = {.attack = 0.35, .decay = 0.8, .sustain = 0.8, .release = 0.7},
    .filter = {.cutoff = 1000,
               .keyTrack = 0.3,
               .envOctaves = 0.4,
               .envDecay = 1.0,
               .velOctaves = 0.2,
               .resonance = 0.1},
    .vibrato = {},
    .driftCents = 6,
    .mix = {.gain = 0.2, .pan = 0, .echo = 0, .reverb = 0.4}};

// A narrow pulse with a soft octave above, plucked.
const SynthPatch ARP = {.oscs = {{Wave::SQUARE, 0, 0.8, 0, 0.25}, {Wave::TRIANGLE, 1200, 0.35, 0}},
                        .amp = {.attack = 0.002, .decay = 0.14, .sustain = 0.0, .release = 0.06},
                        .filter = {.cutoff = 1700,
                                   .keyTrack = 0.5,
                                   .envOctaves = 1.8,
                                   .envDecay = 0.06,
                                   .velOctaves = 0.8,
                                   .resonance = 0.3},
                        .vibrato = {},
                        .mix = {.gain = 0.23, .pan = -0.45, .echo = 0.28, .reverb = 0.18},
                        .oversample = true};

// Short off-beat chords.
const SynthPatch STAB = {.oscs = {{Wave::SAW, -7, 0.5, -0.3}, {Wave::SAW, 7, 0.5, 0.3}},
                         .amp = {.attack = 0.003, .decay = 0.15, .sustain = 0.25, .release = 0.08},
                         .filter = {.cutoff = 1300,
                                    .keyTrack = 0.4,
                                    .envOctaves = 1.5,
                                    .envDecay = 0.08,
                                    .velOctaves = 0.5,
                                    .resonance = 0.2},
                         .vibrato = {},
                         .mix = {.gain = 0.12, .pan = 0.35, .echo = 0, .reverb = 0.25},
                         .oversample = true};

// A slow wander in -1 .. 1 from two sines at unrelated rates.
double Drift(double t, double phase) {
  return 0.6 * Sin2Pi(0.31 * t + phase) + 0.4 * Sin2Pi(0.73 * t + 0.37 * phase);
}

double Unit(uint64_t seed, int k) {
  dsp::Rng rng(seed + 0x51ED * static_cast<uint64_t>(k));
  return 0.5 + 0.5 * rng.Noise();
}

RenderedNote Synth(const SynthPatch& patch, const NoteEvent& e) {
  const int over = patch.oversample ? 2 : 1;
  const double rate = RATE * over;
  const double hold = static_cast<double>(e.length) / RATE;
  const auto frames = static_cast<size_t>(patch.amp.Length(hold) * rate) + 1;
  std::vector<double> left(frames), right(frames);

  std::vector<dsp::Oscillator> oscs;
  std::vector<dsp::PanGains> pans;
  std::vector<double> driftPhase;
  for (size_t k = 0; k < patch.oscs.size(); ++k) {
    const Osc& osc = patch.oscs[k];
    // Free-running oscillators: each note starts at its own phases.
    oscs.emplace_back(osc.wave, rate, Unit(e.seed, static_cast<int>(k)), osc.width);
    pans.push_back(dsp::Pan(std::clamp(osc.pan + patch.mix.pan, -1.0, 1.0)));
    driftPhase.push_back(Unit(e.seed, static_cast<int>(k) + 10));
  }
  dsp::Svf filterLeft(rate), filterRight(rate);
  dsp::Envelope envelope(patch.amp, hold, rate);
  const double gain = patch.mix.gain * dsp::DbGain(-9.0 * (1.0 - e.velocity));
  std::vector<double> hz(oscs.size());
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    if (i % (CONTROL_FRAMES * over) == 0) {
      double vibrato = 0;
      const Vibrato& v = patch.vibrato;
      if (v.cents > 0 && t > v.delay) {
        vibrato = v.cents * std::min(1.0, (t - v.delay) / 0.3) * Sin2Pi(v.hz * (t - v.delay));
      }
      for (size_t k = 0; k < oscs.size(); ++k) {
        const double cents =
            patch.oscs[k].cents + vibrato + patch.driftCents * Drift(t, driftPhase[k]);
        hz[k] = NoteHz(e.note + cents / 100.0);
      }
      const Filter& f = patch.filter;
      const double octaves = f.keyTrack * (e.note - 60) / 12.0 +
                             f.envOctaves * Exp(-t / f.envDecay) +
                             f.velOctaves * (e.velocity - 1.0);
      filterLeft.Set(f.cutoff * Exp2(octaves), f.resonance);
      filterRight.CopySettings(filterLeft);
    }
    double l = 0, r = 0;
    for (size_t k = 0; k < oscs.size(); ++k) {
      const double s = oscs[k].Next(hz[k]) * patch.oscs[k].level;
      l += s * pans[k].left;
      r += s * pans[k].right;
    }
    const double level = gain * envelope.Next();
    left[i] = filterLeft.Low(l) * level;
    right[i] = filterRight.Low(r) * level;
  }
  if (over == 2) {
    left = dsp::Decimate2(left);
    right = dsp::Decimate2(right);
  }
  RenderedNote out;
  out.left.assign(left.begin(), left.end());
  out.right.assign(right.begin(), right.end());
  out.delaySend = patch.mix.echo;
  out.reverbSend = patch.mix.reverb;
  return out;
}

// Two phase-modulated sine pairs a few cents apart, left and right: a soft
// electric bell whose brightness dies away with the note.
RenderedNote Bell(const NoteEvent& e) {
  const Adsr amp{0.003, 0.9, 0.35, 0.5};
  const double hold = static_cast<double>(e.length) / RATE;
  const auto frames = static_cast<size_t>(amp.Length(hold) * RATE) + 1;
  RenderedNote out;
  out.left.resize(frames);
  out.right.resize(frames);
  out.delaySend = 0.25;
  out.reverbSend = 0.35;
  const double gain = 0.26 * dsp::DbGain(-9.0 * (1.0 - e.velocity));
  dsp::Envelope envelope(amp, hold, RATE);
  const dsp::PanGains pans[2] = {dsp::Pan(-0.45), dsp::Pan(0.25)};
  double carrier[2] = {0, 0.25}, modulator[2] = {0, 0.5};
  double hz[2] = {0, 0};
  double index = 0;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / RATE;
    if (i % CONTROL_FRAMES == 0) {
      const double vibrato = t > 0.3 ? 8.0 * std::min(1.0, (t - 0.3) / 0.4) * Sin2Pi(5.0 * t) : 0;
      hz[0] = NoteHz(e.note + (vibrato - 4) / 100.0);
      hz[1] = NoteHz(e.note + (vibrato + 4) / 100.0);
      index = 2.2 * Exp(-t / 0.25) + 0.4;
    }
    const double level = gain * envelope.Next();
    double left = 0, right = 0;
    for (int k = 0; k < 2; ++k) {
      const double s = Sin2Pi(carrier[k] + index / (2 * dsp::PI) * Sin2Pi(modulator[k]));
      left += s * pans[k].left;
      right += s * pans[k].right;
      carrier[k] += hz[k] / RATE;
      modulator[k] += 2 * hz[k] / RATE;
      carrier[k] -= static_cast<int>(carrier[k]);
      modulator[k] -= static_cast<int>(modulator[k]);
    }
    out.left[i] = static_cast<float>(left * level * 0.5);
    out.right[i] = static_cast<float>(right * level * 0.5);
  }
  return out;
}

// A drum: mono, seconds long, panned, from sample(noise) called once per
// frame. It fades in over a millisecond and out over the last ten, so that
// neither its start nor its end clicks.
template <class Sample>
RenderedNote Drum(double seconds, double pan, double reverb, uint64_t seed, Sample sample) {
  const auto frames = static_cast<size_t>(seconds * RATE);
  const auto fadeIn = static_cast<size_t>(0.001 * RATE);
  const auto fadeOut = static_cast<size_t>(0.01 * RATE);
  const dsp::PanGains gains = dsp::Pan(pan);
  dsp::Rng noise(seed);
  RenderedNote out;
  out.left.resize(frames);
  out.right.resize(frames);
  out.reverbSend = reverb;
  for (size_t i = 0; i < frames; ++i) {
    double s = sample(noise);
    if (i < fadeIn) s *= static_cast<double>(i) / static_cast<double>(fadeIn);
    if (frames - i < fadeOut) s *= static_cast<double>(frames - i) / static_cast<double>(fadeOut);
    out.left[i] = static_cast<float>(s * gains.left);
    out.right[i] = static_cast<float>(s * gains.right);
  }
  return out;
}

// A sine that drops from a thump to a low boom, with a short click of noise
// for the beater, gently saturated.
RenderedNote Kick(const NoteEvent& e) {
  double phase = 0;
  dsp::Svf click(RATE);
  click.Set(3000, 0);
  dsp::Decay pitch(0.032, RATE), body(0.17, RATE), beater(0.004, RATE);
  const double gain = 0.62 * e.velocity;
  return Drum(0.42, 0, 0.0, e.seed, [&](dsp::Rng& noise) {
    phase += (47 + 115 * pitch.Next()) / RATE;
    const double thump = Sin2Pi(phase) * body.Next();
    const double tick = click.Low(noise.Noise()) * beater.Next() * 0.5;
    return gain * dsp::Tanh(1.5 * (thump + tick)) / dsp::Tanh(1.5);
  });
}

// Two damped sines for the shell and band-passed noise for the wires.
RenderedNote Snare(const NoteEvent& e) {
  double phase[2] = {0, 0};
  dsp::Svf wires(RATE), low(RATE);
  wires.Set(2000, 0.2);
  low.Set(900, 0);
  dsp::Decay drop(0.02, RATE), shell1(0.05, RATE), shell2(0.035, RATE), hiss(0.1, RATE);
  const double gain = 0.6 * e.velocity;
  return Drum(0.3, 0.05, 0.22, e.seed, [&](dsp::Rng& noise) {
    phase[0] += (180 + 30 * drop.Next()) / RATE;
    phase[1] += 330 / RATE;
    const double shell =
        0.55 * Sin2Pi(phase[0]) * shell1.Next() + 0.25 * Sin2Pi(phase[1]) * shell2.Next();
    const dsp::Svf::Out w = wires.Run(noise.Noise());
    const double wire = (w.band * 1.6 + low.Run(w.high).high * 0.25) * hiss.Next();
    return gain * (shell + wire);
  });
}

// Noise through a band-pass, struck three times in quick succession like
// hands that do not quite meet at once, then a short room tail.
RenderedNote Clap(const NoteEvent& e) {
  dsp::Svf band(RATE);
  band.Set(1300, 0.45);
  constexpr int SPACING = static_cast<int>(0.009 * RATE);
  dsp::Decay hits[3] = {{0.004, RATE}, {0.004, RATE}, {0.004, RATE}};
  dsp::Decay tail(0.08, RATE);
  int frame = 0;
  const double gain = 0.45 * e.velocity;
  return Drum(0.3, -0.1, 0.3, e.seed, [&](dsp::Rng& noise) {
    double envelope = 0;
    for (int k = 0; k < 3; ++k) {
      if (frame >= k * SPACING) envelope += hits[k].Next();
    }
    // The tail swells under the hits instead of starting on a step.
    envelope += 0.8 * tail.Next() * std::min(1.0, static_cast<double>(frame) / (3 * SPACING));
    ++frame;
    return gain * band.Run(noise.Noise()).band * envelope;
  });
}

// High-passed noise, with a little band-passed sizzle on top.
RenderedNote Hat(const NoteEvent& e, double seconds, double decay, double level, double pan) {
  dsp::Svf high(RATE), sizzle(RATE);
  high.Set(7200, 0.2);
  sizzle.Set(10500, 0.5);
  dsp::Decay fall(decay, RATE);
  const double gain = level * e.velocity;
  return Drum(seconds, pan, 0.05, e.seed, [&](dsp::Rng& noise) {
    const double n = noise.Noise();
    const double s = high.Run(n).high + 0.5 * sizzle.Run(n).band;
    return gain * s * fall.Next();
  });
}

RenderedNote Crash(const NoteEvent& e) {
  dsp::Svf high(RATE), body(RATE);
  high.Set(4500, 0.1);
  body.Set(7500, 0.3);
  dsp::Decay fall(0.65, RATE);
  const double gain = 0.13 * e.velocity;
  return Drum(2.4, -0.35, 0.2, e.seed, [&](dsp::Rng& noise) {
    const double n = noise.Noise();
    const double s = high.Run(n).high + 0.6 * body.Run(n).band;
    return gain * s * fall.Next();
  });
}

}  // namespace

RenderedNote RenderNote(const NoteEvent& e) {
  switch (e.instrument) {
    case Instrument::LEAD:
      return Synth(LEAD, e);
    case Instrument::HARMONY:
      return Synth(HARMONY, e);
    case Instrument::BELL:
      return Bell(e);
    case Instrument::BASS:
      return Synth(BASS, e);
    case Instrument::PAD:
      return Synth(PAD, e);
    case Instrument::ARP:
      return Synth(ARP, e);
    case Instrument::STAB:
      return Synth(STAB, e);
    case Instrument::KICK:
      return Kick(e);
    case Instrument::SNARE:
      return Snare(e);
    case Instrument::CLAP:
      return Clap(e);
    case Instrument::HAT:
      return Hat(e, 0.12, 0.026, 0.1, 0.3);
    case Instrument::OPEN_HAT:
      return Hat(e, 0.5, 0.16, 0.07, 0.3);
    case Instrument::CRASH:
      return Crash(e);
  }
  return {};
}

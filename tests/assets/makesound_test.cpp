// makesound: the note data, the synthesis, the loop and the files, against
// the real libvorbisenc and the engine's loaders.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/ogg_loader.h"
#include "audio/sample_loader.h"
#include "audio/wav_loader.h"
#include "stream/memory_stream.h"
#include "tests/support/temp_dir.h"
#include "tools/makesound/dsp.h"
#include "tools/makesound/effects.h"
#include "tools/makesound/instruments.h"
#include "tools/makesound/music.h"
#include "tools/makesound/ogg_vorbis_writer.h"

// libvorbisenc 1.3.7 keeps a block of its six-channel setup when the
// encoder is cleared; that leak is the library's.
extern "C" const char* __lsan_default_suppressions() { return "leak:vorbis_encode_setup_init\n"; }

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string Committed(const std::string& name) { return std::string(ZORP_SOURCE_DIR) + "/" + name; }

int RunMakeSound(const std::string& arguments) {
  const int status = std::system(
      (std::string("\"") + MAKESOUND_PROGRAM + "\" " + arguments + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A decoded 16-bit stereo sample as -1 .. 1 floats.
StereoBuffer ToBuffer(const Ref<TAudioSample>& sample) {
  StereoBuffer out;
  for (int i = 0; i < sample->length; ++i) {
    const uint8_t* p = sample->samples + i * 4;
    out.left.push_back(static_cast<int16_t>(p[0] | p[1] << 8) / 32768.0f);
    out.right.push_back(static_cast<int16_t>(p[2] | p[3] << 8) / 32768.0f);
  }
  return out;
}

Ref<TAudioSample> Decode(std::vector<uint8_t>& bytes) {
  StartWavLoader();
  StartOggLoader();
  return LoadSample(CreateMemoryStream(bytes.data(), static_cast<int>(bytes.size()), true, false));
}

double LargestDifference(const StereoBuffer& a, size_t atA, const StereoBuffer& b, size_t atB,
                         size_t frames) {
  double largest = 0;
  for (size_t i = 0; i < frames; ++i) {
    largest = std::max({largest, std::abs(static_cast<double>(a.left[atA + i]) - b.left[atB + i]),
                        std::abs(static_cast<double>(a.right[atA + i]) - b.right[atB + i])});
  }
  return largest;
}

// How far decoded follows rendered, in dB of signal over difference.
double SignalToError(const StereoBuffer& rendered, const StereoBuffer& decoded, size_t at) {
  double signal = 0, error = 0;
  for (size_t i = 0; i < rendered.Frames(); ++i) {
    for (auto [r, d] : {std::pair{rendered.left[i], decoded.left[at + i]},
                        std::pair{rendered.right[i], decoded.right[at + i]}}) {
      signal += static_cast<double>(r) * r;
      error += (static_cast<double>(r) - d) * (static_cast<double>(r) - d);
    }
  }
  return 10 * std::log10(signal / error);
}

TEST(ScoreTest, ReadsNotesChordsMelodiesAndParts) {
  EXPECT_EQ(ParseNoteName("C4"), 60);
  EXPECT_EQ(ParseNoteName("A#5"), 82);
  EXPECT_EQ(ParseNoteName("Bb3"), 58);
  EXPECT_EQ(ParseNoteName("B#4"), 72);
  EXPECT_EQ(ParseNoteName("Cb4"), 59);

  const Chord g7 = ParseChord("G7");
  EXPECT_EQ(g7.root, 7);
  EXPECT_EQ(g7.intervals, (std::vector<int>{0, 4, 7, 10}));
  EXPECT_EQ(ParseChord("Bbm").root, 10);
  const std::vector<Chord> halves = ParseChords("Am F-G", 2);
  ASSERT_EQ(halves.size(), 4u);
  EXPECT_EQ(halves[1].root, 9);
  EXPECT_EQ(halves[2].root, 5);
  EXPECT_EQ(halves[3].root, 7);

  const NamedText phrases[] = {{"up", "C4:8 -:4 E4:4"}};
  const std::vector<MelodyNote> notes = ParseMelody("$up|G4:2 -:14", 2, phrases);
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[1].step, 12);
  EXPECT_EQ(notes[1].note, 64);
  EXPECT_EQ(notes[2].step, 16);
  EXPECT_EQ(notes[2].length, 2);

  const std::vector<PartBar> parts = ParseParts("beat!*2 fill:3 -", 4);
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_TRUE(parts[1].accent);
  EXPECT_EQ(parts[1].pattern, "beat");
  EXPECT_FALSE(parts[2].accent);
  EXPECT_DOUBLE_EQ(parts[2].level, 3 / 9.0);
  EXPECT_EQ(parts[3].pattern, "-");
}

TEST(ScoreTest, RefusesMalformedText) {
  EXPECT_THROW(ParseNoteName("H4"), std::runtime_error);
  EXPECT_THROW(ParseNoteName("C"), std::runtime_error);
  EXPECT_THROW(ParseNoteName("C#9"), std::runtime_error);
  EXPECT_THROW(ParseChord("Cdim"), std::runtime_error);
  EXPECT_THROW(ParseMelody("C4:15", 1), std::runtime_error);         // short of a bar
  EXPECT_NO_THROW(ParseMelody("C4:17 -:15", 2));                     // tied over the bar line
  EXPECT_THROW(ParseMelody("C4:4 | C4:12", 1), std::runtime_error);  // bar line inside a bar
  EXPECT_THROW(ParseMelody("C4 -:15", 1), std::runtime_error);       // no length
  EXPECT_THROW(ParseMelody("C4:0 C4:16", 1), std::runtime_error);    // no time
  EXPECT_THROW(ParseMelody("$nothing", 1), std::runtime_error);      // unknown phrase
  const NamedText loop[] = {{"a", "$a"}};
  EXPECT_THROW(ParseMelody("$a", 1, loop), std::runtime_error);
  EXPECT_THROW(ParseChords("C G", 3), std::runtime_error);
  EXPECT_THROW(ParseParts("beat*2", 3), std::runtime_error);
  EXPECT_THROW(ParseParts("beat:0", 1), std::runtime_error);
  EXPECT_THROW(ParseParts("*1", 1), std::runtime_error);
}

TEST(ArrangeTest, ChordsAreVoicedCloseAndHarmonyStaysInTheChord) {
  const std::vector<int> c = VoiceChord(ParseChord("C"), {});
  ASSERT_EQ(c.size(), 3u);
  const std::vector<int> g = VoiceChord(ParseChord("G"), c);
  int moved = 0;
  for (size_t i = 0; i < c.size(); ++i) moved += std::abs(g[i] - c[i]);
  // C E G to B D G (or the like): the common tone stays, the others step.
  EXPECT_LE(moved, 4);
  for (const std::vector<int>& chord : {c, g, VoiceChord(ParseChord("F7"), g)}) {
    EXPECT_TRUE(std::is_sorted(chord.begin(), chord.end()));
    EXPECT_GE(chord.front(), 52);
    EXPECT_LE(chord.back() - chord.front(), 11);
  }

  const Chord cMajor = ParseChord("C");
  EXPECT_EQ(HarmonyBelow(76, cMajor), 72);  // E5 over C: C5
  EXPECT_EQ(HarmonyBelow(84, cMajor), 79);  // C6: G5, a fourth, the next chord tone
  EXPECT_EQ(HarmonyBelow(74, cMajor), 71);  // D5 passing: B4, a scale third
  EXPECT_EQ(HarmonyBelow(82, cMajor), 79);  // A#5 outside the scale: a minor third
}

TEST(ArrangeTest, PieceIsWholeBarsWithEveryNoteInsideAndUnknownPatternsRefused) {
  const Arrangement song = SongArrangement();
  EXPECT_EQ(song.frames % FRAMES_PER_BAR, 0);
  const double minutes = static_cast<double>(song.frames) / MUSIC_RATE / 60;
  EXPECT_GE(minutes, 2.5);
  EXPECT_LE(minutes, 3.0);
  int64_t next = 0;
  for (const SectionSpan& section : song.sections) {
    EXPECT_EQ(section.start, next) << section.name;
    next += section.frames;
  }
  EXPECT_EQ(next, song.frames);
  for (const NoteEvent& e : song.events) {
    EXPECT_GE(e.start, 0);
    EXPECT_LT(e.start, song.frames);
    EXPECT_GT(e.length, 0);
    EXPECT_GT(e.velocity, 0);
    EXPECT_LE(e.velocity, 1);
  }

  Section section = SongSections()[1];
  section.drums = "beat*15 nosuch";
  EXPECT_THROW(Arrange(std::span(&section, 1)), std::runtime_error);
  section = SongSections()[1];
  section.bass = "wobble*16";
  EXPECT_THROW(Arrange(std::span(&section, 1)), std::runtime_error);
}

TEST(DspTest, MathAgreesWithTheLibrary) {
  for (double x = -3.0; x <= 3.0; x += 0.0137) {
    EXPECT_NEAR(dsp::Sin2Pi(x), std::sin(2 * std::numbers::pi * x), 1e-14) << x;
    EXPECT_NEAR(dsp::Exp2(4 * x) / std::exp2(4 * x), 1.0, 1e-14) << x;
    EXPECT_NEAR(dsp::Tanh(x), std::tanh(x), 1e-14) << x;
  }
  EXPECT_NEAR(dsp::NoteHz(69), 440.0, 1e-12);
  EXPECT_NEAR(dsp::NoteHz(81), 880.0, 1e-12);
}

// The share of a note's power below 16 kHz that is not near a harmonic of
// f0, in dB; detuned oscillators widen the harmonics by up to cents.
double InharmonicDb(const RenderedNote& note, double f0, double cents) {
  constexpr size_t SIZE = 8192;
  std::vector<float> mono(SIZE);
  for (size_t i = 0; i < SIZE; ++i) mono[i] = note.left[i] + note.right[i];
  const std::vector<double> power = PowerSpectrum(mono);
  double harmonic = 0, other = 0;
  const double binHz = static_cast<double>(MUSIC_RATE) / SIZE;
  for (size_t k = 1; k < power.size() && k * binHz < 16000; ++k) {
    const double hz = static_cast<double>(k) * binHz;
    const double nearest = std::round(hz / f0) * f0;
    const bool near = std::abs(hz - nearest) < 6 * binHz + nearest * cents / 1731.0;
    (near ? harmonic : other) += power[k];
  }
  return 10 * std::log10(other / harmonic);
}

TEST(SynthTest, BrightInstrumentsHardlyAlias) {
  // Saws and pulses at the top of the tune, where folding is worst; held
  // long enough for the window but before the vibrato starts.
  for (Instrument instrument : {Instrument::LEAD, Instrument::ARP, Instrument::STAB}) {
    for (int note : {84, 93}) {
      const NoteEvent e{instrument, 0, MUSIC_RATE / 5, note, 1.0, 7};
      EXPECT_LT(InharmonicDb(RenderNote(e), dsp::NoteHz(note), 8), -60)
          << "instrument " << static_cast<int>(instrument) << " note " << note;
    }
  }
}

TEST(SynthTest, EveryInstrumentStartsAndEndsInSilence) {
  for (int i = 0; i <= static_cast<int>(Instrument::CRASH); ++i) {
    const NoteEvent e{static_cast<Instrument>(i), 0, FRAMES_PER_STEP * 2, 60, 1.0, 3};
    const RenderedNote note = RenderNote(e);
    ASSERT_GT(note.left.size(), 100u);
    ASSERT_EQ(note.left.size(), note.right.size());
    float peak = 0;
    for (size_t k = 0; k < note.left.size(); ++k) {
      peak = std::max({peak, std::abs(note.left[k]), std::abs(note.right[k])});
    }
    EXPECT_GT(peak, 0.01f) << "instrument " << i;
    for (const std::vector<float>* side : {&note.left, &note.right}) {
      EXPECT_LT(std::abs(side->front()), 0.01f * peak) << "instrument " << i;
      EXPECT_LT(std::abs(side->back()), 0.001f * peak) << "instrument " << i;
    }
  }
}

TEST(AnalysisTest, MeasuresLevelsBandsAndJoins) {
  // A 1 kHz sine at half scale, whole cycles, so that it loops cleanly.
  const int frames = 44100;
  std::vector<float> sine(frames), quiet(frames);
  for (int i = 0; i < frames; ++i) {
    sine[i] = static_cast<float>(0.5 * dsp::Sin2Pi(1000.0 * i / 44100));
    quiet[i] = 0.5f * sine[i];
  }
  const Levels mono = MeasureLevels(sine, sine);
  EXPECT_NEAR(mono.peakDb, -6.02, 0.01);
  EXPECT_NEAR(mono.rmsDb, -9.03, 0.01);
  EXPECT_TRUE(std::isinf(mono.sideDb));
  EXPECT_NEAR(MeasureLevels(sine, quiet).sideDb, 10 * std::log10(1.0 / 9), 0.01);

  const BandLevels bands = MeasureBands(sine, sine, 44100);
  EXPECT_GT(bands[2], -0.01);  // 600-2500 Hz holds it all
  EXPECT_LT(bands[0], -60);
  EXPECT_LT(bands[4], -60);

  const JoinReport clean = MeasureJoin(sine, sine, 4410);
  EXPECT_LE(clean.joinStep, clean.typicalStep);
  std::vector<float> broken(sine.begin(), sine.end() - 11);  // ends mid-cycle
  const JoinReport stepped = MeasureJoin(broken, broken, 4410);
  EXPECT_GT(stepped.joinStep, stepped.largestStep);
}

TEST(MakeSoundTest, EffectsAreTheCommittedFilesEveryTime) {
  const std::vector<SoundEffect> first = MakeEffects();
  const std::vector<SoundEffect> second = MakeEffects();
  ASSERT_EQ(first.size(), 3u);
  for (size_t i = 0; i < first.size(); ++i) {
    const std::vector<uint8_t> bytes = EncodeWav8(first[i]);
    EXPECT_EQ(bytes, EncodeWav8(second[i])) << first[i].file;
    EXPECT_EQ(bytes, ReadFile(Committed(first[i].file)))
        << first[i].file << " differs from what makesound makes now; run makesound .";
  }
}

TEST(MakeSoundTest, ProgramWritesTheEffectsAndRefusesBadArguments) {
  TempDir dir;
  EXPECT_EQ(RunMakeSound(""), 2);
  EXPECT_EQ(RunMakeSound("--loud \"" + dir.path() + "\""), 2);
  EXPECT_EQ(RunMakeSound("\"" + dir.path() + "\" \"" + dir.path() + "\""), 2);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  ASSERT_EQ(RunMakeSound("--effects-only \"" + dir.path() + "\""), 0);
  for (const char* name : {"sfx/bonus.wav", "sfx/death.wav", "sfx/number.wav"}) {
    EXPECT_EQ(ReadFile(dir / name), ReadFile(Committed(name))) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / MUSIC_FILE));
}

TEST(MusicTest, AnExcerptRendersTheSameAloneAndWithinMore) {
  const Arrangement song = SongArrangement();
  const int64_t start = 9 * FRAMES_PER_BAR - 1000;  // across a section's start
  const int64_t frames = MUSIC_RATE;
  const StereoBuffer once = RenderMusic(song, start, frames);
  const StereoBuffer again = RenderMusic(song, start, frames);
  EXPECT_EQ(once.left, again.left);
  EXPECT_EQ(once.right, again.right);
  const StereoBuffer longer = RenderMusic(song, start - MUSIC_RATE / 2, 2 * frames);
  EXPECT_LT(LargestDifference(once, 0, longer, MUSIC_RATE / 2, frames), 1e-6);
  EXPECT_GT(MeasureLevels(once.left, once.right).rmsDb, -30);
}

TEST(MusicTest, TheLoopWrapsSampleExactly) {
  // Across the end of the loop is the end followed by the start, and the
  // frames before the start are the end.
  const Arrangement song = SongArrangement();
  const int64_t half = MUSIC_RATE / 4;
  const StereoBuffer across = RenderMusic(song, song.frames - half, 2 * half);
  const StereoBuffer end = RenderMusic(song, song.frames - half, half);
  const StereoBuffer start = RenderMusic(song, 0, half);
  const StereoBuffer before = RenderMusic(song, -half, half);
  EXPECT_LT(LargestDifference(across, 0, end, 0, half), 1e-6);
  EXPECT_LT(LargestDifference(across, half, start, 0, half), 1e-6);
  EXPECT_LT(LargestDifference(before, 0, end, 0, half), 1e-6);
  const JoinReport join = MeasureJoin(across.left, across.right, static_cast<int>(half));
  EXPECT_LE(std::max(std::abs(across.left[half] - across.left[half - 1]),
                     std::abs(across.right[half] - across.right[half - 1])),
            join.typicalStep);
}

double Rms(const StereoBuffer& a, const StereoBuffer& minus, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) {
    const double l = a.left[i] - minus.left[i], r = a.right[i] - minus.right[i];
    sum += l * l + r * r;
  }
  return std::sqrt(sum / static_cast<double>(2 * (to - from)));
}

TEST(MusicTest, TheBassMakesRoomForEachKick) {
  const int64_t kickAt = FRAMES_PER_BAR / 2;
  const NoteEvent bass{Instrument::BASS, 0, FRAMES_PER_BAR, 36, 1.0, 1};
  const NoteEvent kick{Instrument::KICK, kickAt, FRAMES_PER_STEP, 0, 1.0, 2};
  auto render = [&](std::vector<NoteEvent> events) {
    Arrangement piece;
    piece.frames = 2 * FRAMES_PER_BAR;
    piece.events = std::move(events);
    return RenderMusic(piece, 0, FRAMES_PER_BAR);
  };
  const StereoBuffer both = render({bass, kick});
  const StereoBuffer kickAlone = render({kick});
  const StereoBuffer bassAlone = render({bass});
  const StereoBuffer silence = render({});
  // What the bass adds to the kick, against the bass on its own.
  auto bassShare = [&](double fromSeconds, double toSeconds) {
    const auto from = static_cast<size_t>(kickAt + fromSeconds * MUSIC_RATE);
    const auto to = static_cast<size_t>(kickAt + toSeconds * MUSIC_RATE);
    return Rms(both, kickAlone, from, to) / Rms(bassAlone, silence, from, to);
  };
  EXPECT_NEAR(bassShare(-0.1, -0.01), 1.0, 0.01);
  EXPECT_LT(bassShare(0.01, 0.04), 0.7);
  EXPECT_NEAR(bassShare(0.45, 0.5), 1.0, 0.05);
}

TEST(MusicTest, EncodingIsRepeatableWithAFixedSerialAndDecodes) {
  const Arrangement song = SongArrangement();
  const StereoBuffer excerpt = RenderMusic(song, 20 * FRAMES_PER_BAR, MUSIC_RATE);
  std::vector<uint8_t> bytes = EncodeMusic(excerpt);
  EXPECT_EQ(bytes, EncodeMusic(excerpt));
  ASSERT_GT(bytes.size(), 28u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "OggS");
  const uint32_t serial = bytes[14] | bytes[15] << 8 | bytes[16] << 16 | uint32_t{bytes[17]} << 24;
  EXPECT_EQ(serial, static_cast<uint32_t>(MUSIC_STREAM_SERIAL));

  const Ref<TAudioSample> decoded = Decode(bytes);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->format, SF_STEREO16LE);
  EXPECT_EQ(decoded->hertz, MUSIC_RATE);
  EXPECT_EQ(decoded->length, MUSIC_RATE);
  EXPECT_GT(SignalToError(excerpt, ToBuffer(decoded), 0), 10);
}

TEST(MusicTest, CommittedMusicIsTheCurrentScoreAndPassesTheChecks) {
  StartWavLoader();
  StartOggLoader();
  const Ref<TAudioSample> sample = LoadSample(Committed(MUSIC_FILE).c_str());
  ASSERT_TRUE(sample);
  const StereoBuffer decoded = ToBuffer(sample);
  const Arrangement song = SongArrangement();
  ASSERT_EQ(static_cast<int64_t>(decoded.Frames()), song.frames)
      << MUSIC_FILE << " is not the music makesound makes now; run makesound .";
  // Two stretches, one from the middle and one across the loop's start: the
  // encoded file follows the rendering, as far as a lossy codec does.
  const int64_t middle = song.sections[4].start;
  EXPECT_GT(SignalToError(RenderMusic(song, middle, MUSIC_RATE), decoded, middle), 10)
      << MUSIC_FILE << " is not the music makesound makes now; run makesound .";
  EXPECT_GT(SignalToError(RenderMusic(song, 0, MUSIC_RATE / 2), decoded, 0), 10);

  const MusicReport report = AnalyseMusic(song, decoded);
  EXPECT_NO_THROW(CheckMusic(report)) << FormatReport(report);
}

}  // namespace

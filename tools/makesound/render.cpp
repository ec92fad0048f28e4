#include "tools/makesound/render.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "tools/makesound/dsp.h"
#include "tools/makesound/instruments.h"

namespace {

// How much music before the first frame the echo and reverb hear. Their
// tails have died below -100 dB well within it, so what came earlier makes
// no difference that a 16-bit or Vorbis file could keep.
constexpr int64_t WARM_UP_FRAMES = 8 * MUSIC_RATE;
// The master level: the mix's peaks sit about 3 dB below full scale, which
// leaves room for the encoder's ripple and the game's effects on top.
constexpr double MASTER_GAIN = 0.43;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// A dotted-eighth echo that bounces between left and right, darker and
// thinner with every repeat.
class PingPongEcho {
 public:
  PingPongEcho() : left_(DELAY, 0.0), right_(DELAY, 0.0) {}

  // Takes the mono send, gives the echo's left and right.
  std::pair<double, double> Run(double in) {
    lowCut_ += 0.03 * (in - lowCut_);  // a one-pole high-pass near 200 Hz
    in -= lowCut_;
    const double fromLeft = left_[pos_], fromRight = right_[pos_];
    damp_ += 0.4 * (fromRight - damp_);  // one-pole low-pass near 3.5 kHz
    left_[pos_] = in + FEEDBACK * damp_;
    right_[pos_] = fromLeft;
    pos_ = (pos_ + 1) % DELAY;
    return {fromLeft * LEVEL, fromRight * LEVEL};
  }

 private:
  static constexpr size_t DELAY = 3 * FRAMES_PER_STEP;
  static constexpr double FEEDBACK = 0.42;
  static constexpr double LEVEL = 0.7;
  std::vector<double> left_, right_;
  size_t pos_ = 0;
  double lowCut_ = 0, damp_ = 0;
};

// A Schroeder-Moorer reverb in the manner of Freeverb: eight damped combs
// in parallel and four all-passes in series per side, the right side's
// delays a little longer so that the two decorrelate.
class Reverb {
 public:
  Reverb() {
    constexpr std::array<size_t, 8> COMBS = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    constexpr std::array<size_t, 4> ALLPASSES = {556, 441, 341, 225};
    constexpr size_t SPREAD = 23;
    for (int side = 0; side < 2; ++side) {
      for (size_t n : COMBS) sides_[side].combs.push_back({std::vector<double>(n + side * SPREAD)});
      for (size_t n : ALLPASSES) {
        sides_[side].allpasses.push_back({std::vector<double>(n + side * SPREAD)});
      }
    }
  }

  std::pair<double, double> Run(double in) {
    // Only what lies above the bass goes in, so the low end stays dry.
    lowCut_ += 0.02 * (in - lowCut_);
    in -= lowCut_;
    return {sides_[0].Run(in) * LEVEL, sides_[1].Run(in) * LEVEL};
  }

 private:
  static constexpr double FEEDBACK = 0.88;
  static constexpr double DAMPING = 0.3;
  static constexpr double LEVEL = 0.12;

  struct Line {
    std::vector<double> buffer;
    size_t pos = 0;
    double store = 0;
  };
  struct Side {
    std::vector<Line> combs, allpasses;
    double Run(double in) {
      double out = 0;
      for (Line& c : combs) {
        const double y = c.buffer[c.pos];
        c.store = y * (1 - DAMPING) + c.store * DAMPING;
        c.buffer[c.pos] = in + c.store * FEEDBACK;
        c.pos = (c.pos + 1) % c.buffer.size();
        out += y;
      }
      for (Line& a : allpasses) {
        const double y = a.buffer[a.pos];
        a.buffer[a.pos] = out + y * 0.5;
        a.pos = (a.pos + 1) % a.buffer.size();
        out = y - out;
      }
      return out;
    }
  };
  std::array<Side, 2> sides_;
  double lowCut_ = 0;
};

// The bass dips under each kick, by this much at its deepest, so that the
// two share the low end without blurring each other.
constexpr double BASS_DUCKING = 0.45;
constexpr double DUCK_SECONDS = 0.5;

// How far a kick at full strength pushes the bass down over time: in within
// a few milliseconds, back out over a beat.
const std::vector<double>& DuckCurve() {
  static const std::vector<double> CURVE = [] {
    std::vector<double> curve(static_cast<size_t>(DUCK_SECONDS * MUSIC_RATE));
    dsp::Decay in(0.002, MUSIC_RATE), out(0.1, MUSIC_RATE);
    for (double& value : curve) value = (1 - in.Next()) * out.Next();
    return curve;
  }();
  return CURVE;
}

// The buses every note is mixed into, over a span of frames.
struct Buses {
  int64_t first;
  std::vector<double> left, right, bassLeft, bassRight, echo, reverb, duck;

  Buses(int64_t from, size_t frames)
      : first(from),
        left(frames),
        right(frames),
        bassLeft(frames),
        bassRight(frames),
        echo(frames),
        reverb(frames),
        duck(frames) {}

  // Calls add(bus frame, sound frame) for every frame of a sound that
  // starts at frame start and lasts frames that falls in the span.
  template <class Add>
  void Overlap(int64_t start, size_t frames, Add add) {
    const auto size = static_cast<int64_t>(left.size());
    const int64_t from = std::max<int64_t>(0, first - start);
    const int64_t to = std::min<int64_t>(static_cast<int64_t>(frames), first + size - start);
    for (int64_t i = from; i < to; ++i)
      add(static_cast<size_t>(start + i - first), static_cast<size_t>(i));
  }

  void Add(const NoteEvent& event, const RenderedNote& note, int64_t start) {
    const bool bass = event.instrument == Instrument::BASS;
    std::vector<double>& toLeft = bass ? bassLeft : left;
    std::vector<double>& toRight = bass ? bassRight : right;
    Overlap(start, note.left.size(), [&](size_t at, size_t i) {
      const double l = note.left[i], r = note.right[i];
      toLeft[at] += l;
      toRight[at] += r;
      echo[at] += 0.5 * (l + r) * note.delaySend;
      reverb[at] += 0.5 * (l + r) * note.reverbSend;
    });
    if (event.instrument == Instrument::KICK) {
      const std::vector<double>& curve = DuckCurve();
      Overlap(start, curve.size(),
              [&](size_t at, size_t i) { duck[at] += event.velocity * curve[i]; });
    }
  }

  // The dry mix at frame i, with the bass ducked.
  std::pair<double, double> Dry(size_t i) const {
    const double gain = 1 - BASS_DUCKING * std::min(1.0, duck[i]);
    return {left[i] + gain * bassLeft[i], right[i] + gain * bassRight[i]};
  }
};

// A generous bound on any note's sound after it is released, and on a
// kick's ducking.
constexpr int64_t LONGEST_RING = 3 * MUSIC_RATE;

}  // namespace

StereoBuffer RenderMusic(const Arrangement& arrangement, int64_t first, int64_t count) {
  const int64_t loop = arrangement.frames;
  const int64_t from = first - WARM_UP_FRAMES;
  const int64_t to = first + count;
  Buses buses(from, static_cast<size_t>(to - from));
  for (const NoteEvent& event : arrangement.events) {
    // The note sounds at start + k * loop for every k; render it once and
    // place it wherever one of those overlaps the span.
    const int64_t reach = event.length + LONGEST_RING;
    const int64_t firstK = FloorDiv(from - event.start - reach, loop) + 1;
    const int64_t lastK = FloorDiv(to - 1 - event.start, loop);
    if (firstK > lastK) continue;
    const RenderedNote note = RenderNote(event);
    for (int64_t k = firstK; k <= lastK; ++k) buses.Add(event, note, event.start + k * loop);
  }

  PingPongEcho echo;
  Reverb reverb;
  StereoBuffer out;
  out.left.resize(static_cast<size_t>(count));
  out.right.resize(static_cast<size_t>(count));
  for (size_t i = 0; i < buses.left.size(); ++i) {
    const auto [echoLeft, echoRight] = echo.Run(buses.echo[i]);
    // The echo is heard in the room too.
    const auto [roomLeft, roomRight] = reverb.Run(buses.reverb[i] + 0.3 * (echoLeft + echoRight));
    const int64_t at = static_cast<int64_t>(i) + from - first;
    if (at < 0) continue;
    const auto [dryLeft, dryRight] = buses.Dry(i);
    out.left[at] = static_cast<float>(MASTER_GAIN * (dryLeft + echoLeft + roomLeft));
    out.right[at] = static_cast<float>(MASTER_GAIN * (dryRight + echoRight + roomRight));
  }
  return out;
}

StereoBuffer RenderLoop(const Arrangement& arrangement) {
  return RenderMusic(arrangement, 0, arrangement.frames);
}

// The real program, end to end: zorp runs full screen on the X server with
// the OpenGL driver and ALSA's null device, seeded, and the tests play it
// through XTest keys, read the screen back, and check the files it saves.
// Given a Windows build (ZORP_WINDOWS_PROGRAM names its zorp.exe), some of
// them play that too, under Wine on the same X server, where it has no sound
// and draws through DirectX 7 (its first choice) or through WGL, switching
// between the two with G on the title screen. Given the game as a package
// installed it (ZORP_INSTALLED_PROGRAM names the program, in a folder the
// test cannot write), they play that too, and find its files in the user's
// data folder.
//
// Nothing here depends on timing. The tests wait for what the screen shows,
// never for a span of time, and the seed fixes where the items fall: the
// tests work that out through the game's own random generator (pilot.h).
// - The intro is skipped only once its first cross-fade shows, so that the
//   key cannot come before the intro clears the keys.
// - A first game is paused and left with Escape; the next one then comes out
//   of Get Ready paused (the pause outlives a game), so play starts from a
//   known tick.
// - While paused, Left Alt then Space run exactly one tick: Space resumes,
//   and the tick that follows takes the waiting Alt as a pause. A test holds
//   an arrow key during such a step to turn at the next cell corner, and
//   steps through every tick in which an item is eaten or comes on, because
//   the items see where the zorp was last drawn, which is exact only if the
//   game was drawn paused between the ticks.
// - Elsewhere the game runs free, and the test pauses it when the head has
//   passed a point; the pause may come late on a loaded machine, so the route
//   is planned again from where the head really is, and turns onto items are
//   made so that a turn missed passes the item by.
// The score saved is then checked against the score the rules give for the
// route the zorp actually took.

#include <gtest/gtest.h>
// After GoogleTest, whose names Xlib's macros would replace.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "game/random.h"
#include "tests/game/pilot.h"
#include "tests/game/play_screen.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x11_property.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using pilot::CELL_TICKS;
using namespace onscreen;

// Generous: a loaded machine only makes the game slower.
constexpr auto PATIENCE = 30s;
// Six frame periods of the game's 60 Hz.
constexpr auto SETTLED = 100ms;

// The hall of fame as scores.dat holds it.
struct Rank {
  int score;
  std::string name;
};
std::string ScoresFile(const std::vector<Rank>& ranks) {
  std::string text;
  for (const Rank& r : ranks) text += std::to_string(r.score) + "\r\n" + r.name + "\r\n";
  return text;
}
// The table after a game's score has been entered under a name.
std::vector<Rank> Entered(std::vector<Rank> ranks, int score, const std::string& name) {
  if (score <= ranks.back().score) return ranks;
  size_t at = 0;
  while (at + 1 < ranks.size() && ranks[at].score >= score) ++at;
  ranks.insert(ranks.begin() + static_cast<long>(at), {score, name});
  ranks.pop_back();
  return ranks;
}

// The generator's state when the program starts with the seed.
int SeededState(int seed) {
  SeedRandom(seed);
  return RandomSeed();
}

// The build a test plays: this one, the Windows build under Wine, or the
// installed game.
enum class Build { Linux, Windows, Installed };
const char* BuildName(Build build) {
  constexpr const char* NAMES[] = {"Linux", "Windows", "Installed"};
  return NAMES[static_cast<int>(build)];
}
void PrintTo(Build build, std::ostream* out) { *out << BuildName(build); }

const char* WindowsProgram() { return std::getenv("ZORP_WINDOWS_PROGRAM"); }
const char* InstalledProgram() { return std::getenv("ZORP_INSTALLED_PROGRAM"); }

std::vector<Build> Builds() {
  std::vector<Build> builds{Build::Linux};
  if (WindowsProgram()) builds.push_back(Build::Windows);
  if (InstalledProgram()) builds.push_back(Build::Installed);
  return builds;
}

// config.ini naming a driver: OpenGL, or DirectX 7, which the Windows build
// chooses when there is no file.
const std::string OPENGL_FILE("\0\0\0\0", 4), DIRECTX_FILE("\1\0\0\0", 4);
std::string DriverFile(Build build) { return build == Build::Windows ? DIRECTX_FILE : OPENGL_FILE; }

class Play : public testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    if (!display_) GTEST_SKIP() << "No X server; set DISPLAY to one (an Xvfb)";
    int event, error, major, minor;
    ASSERT_TRUE(XTestQueryExtension(display_, &event, &error, &major, &minor));
    ASSERT_TRUE(XDamageQueryExtension(display_, &damageEvent_, &error));
    damage_ = XDamageCreate(display_, DefaultRootWindow(display_), XDamageReportNonEmpty);
    screen_ = ScreenImage(display_);
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (KeySym held : held_) Key(held, false);
    if (display_) XCloseDisplay(display_);
  }

  // Where the build keeps a file of the game: beside the program, or, for
  // the installed game, in the user's data folder, which is the test's own.
  std::string GameFile(Build build, const std::string& name) const {
    return build == Build::Installed ? dir_ / ("data/zorp/" + name) : dir_ / name;
  }

  // Started from another folder: the program finds its files by itself. A
  // build's program is copied into the test's folder and keeps its files
  // there; the installed one stays where it is.
  void Start(int seed, Build build = Build::Linux) {
    const bool windows = build == Build::Windows;
    std::filesystem::path program = dir_ / (windows ? "zorp.exe" : "zorp");
    if (build == Build::Installed) {
      program = InstalledProgram();
    } else if (!std::filesystem::exists(program)) {
      std::filesystem::copy_file(windows ? WindowsProgram() : ZORP_PROGRAM, program);
    }
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string variable = *e;
      if (variable.rfind("ZORP_AUDIO_DEVICE=", 0) != 0 && variable.rfind("ASAN_OPTIONS=", 0) != 0 &&
          variable.rfind("XDG_DATA_HOME=", 0) != 0) {
        env.push_back(variable);
      }
    }
    env.push_back("ZORP_AUDIO_DEVICE=null");
    env.push_back("XDG_DATA_HOME=" + dir_ / "data");
    env.push_back("ZORP_FRAME_LOG=" + FrameLog());
    // Under AddressSanitizer: Mesa unloads its driver at exit, and what it
    // held then reads as leaked; the program's own leaks show in the other
    // tests.
    env.push_back("ASAN_OPTIONS=detect_leaks=0");
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args{program, "--seed", std::to_string(seed)};
    if (windows) args.insert(args.begin(), "wine");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // It goes with the test: a test killed on a timeout leaves no game
    // running full screen.
    const pid_t parent = getpid();
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      if (prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && getppid() == parent) {
        execvpe(argv[0], argv.data(), envp.data());
      }
      _exit(127);
    }
    randomState_ = SeededState(seed);
  }

  void Key(KeySym sym, bool down) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, sym), down ? True : False, CurrentTime);
    XFlush(display_);
    if (down) {
      held_.push_back(sym);
    } else {
      held_.erase(std::remove(held_.begin(), held_.end(), sym), held_.end());
    }
  }
  // A press and its release: the game counts the press.
  void Tap(KeySym sym) {
    Key(sym, true);
    Key(sym, false);
  }

  // Blocks until the X server reports drawing anywhere on the screen, or
  // until the time given; whether something was drawn. The drawing seen is
  // forgotten before the caller looks, so none after that look goes unseen.
  bool AwaitDrawing(std::chrono::steady_clock::time_point until) {
    for (;;) {
      bool drawn = false;
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        drawn = drawn || event.type == damageEvent_ + XDamageNotify;
      }
      if (drawn) {
        XDamageSubtract(display_, damage_, None, None);
        return true;
      }
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd connection{ConnectionNumber(display_), POLLIN, 0};
      poll(&connection, 1, static_cast<int>(left.count()));
    }
  }

  // Waits until the screen shows what until looks for, looking again each
  // time something is drawn; false after a long while without it. A screen
  // standing still must first stay the same for a few frame periods: on a
  // busy machine a frame may show for a while before it is whole (rows at
  // the bottom still from the frame before), and the frame that completes
  // it changes the screen again.
  bool WaitFor(const std::function<bool(const ScreenImage&)>& until, bool still = false,
               const std::vector<Box>& parts = {}) {
    const auto start = std::chrono::steady_clock::now(), end = start + PATIENCE;
    ScreenImage last = screen_;
    auto changed = start;
    for (;;) {
      screen_.Grab(parts);
      const auto now = std::chrono::steady_clock::now();
      if (!screen_.Same(last, parts)) changed = now;
      const bool shown = until(screen_);
      if (shown && (!still || now - changed >= SETTLED)) return true;
      if (now >= end) return false;
      last = screen_;
      AwaitDrawing(shown ? std::min(end, changed + SETTLED) : end);
    }
  }

  // Waits for the program to end; its exit status, or -1.
  int Exit() {
    const int process = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    if (process < 0) return -1;
    pollfd ended{process, POLLIN, 0};
    const bool done =
        poll(&ended, 1, std::chrono::duration_cast<std::chrono::milliseconds>(PATIENCE).count()) ==
        1;
    close(process);
    int status = 0;
    if (!done || waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Skips the intro once its first cross-fade has begun to change the
  // loading screen: a key before the intro starts would be cleared.
  void SkipIntro() {
    ASSERT_TRUE(WaitFor(LoadingShown)) << "the loading screen";
    ScreenImage loading = screen_;
    ASSERT_TRUE(WaitFor([&](const ScreenImage& s) { return s.Changed(loading, EMBLEM) > 500; }))
        << "the intro's cross-fade";
    Tap(XK_space);
    ASSERT_TRUE(WaitFor(TitleShown)) << "the title screen with its texts in their colours";
  }

  // From the title: a game that is paused as soon as it starts and then
  // left with Escape, so that the next game comes out of Get Ready paused.
  // Left Alt pauses a running game and does nothing to a paused one, so it
  // is pressed until PAUSED shows; the presses before play are cleared. A
  // game that reached the wall first (some seconds) is played again.
  void PauseAGameAway() {
    for (int game = 0; game < 3; ++game) {
      const pilot::World throwaway(randomState_);
      randomState_ = throwaway.randomState;
      // Nothing may happen before the pause or the wall: the number lies
      // off the zorp's row, and the star takes longer than the run.
      ASSERT_NE(throwaway.number.cell.row, 11) << "the seed suits no throwaway game";
      Tap(XK_space);
      ASSERT_TRUE(WaitFor([](const ScreenImage& s) { return !TitleShown(s); }));
      const auto end = std::chrono::steady_clock::now() + PATIENCE;
      do {
        ASSERT_LT(std::chrono::steady_clock::now(), end) << "the first game pausing";
        Tap(XK_Alt_L);
        AwaitDrawing(end);
        screen_.Grab();
      } while (!PausedShown(screen_) && !TitleShown(screen_));
      if (PausedShown(screen_)) {
        Tap(XK_Escape);
        ASSERT_TRUE(WaitFor(TitleShown)) << "Escape while paused ends the game";
        return;
      }
    }
    FAIL() << "no game paused";
  }

  // Starts the next game and waits until it stands paused after Get Ready.
  pilot::World StartPausedGame() {
    const pilot::World game(randomState_);
    Tap(XK_space);
    const pilot::Route route;
    // Get Ready first covers the zorp and then leaves it at its start, paused.
    EXPECT_TRUE(WaitFor(
        [&](const ScreenImage& s) {
          const std::optional<Ticks> head = ReadHead(s, route, -8, 40);
          return PausedShown(s) && head && head->lo <= 0 && head->hi >= 0 && head->hi < 8;
        },
        true))
        << "the game coming out of Get Ready paused";
    return game;
  }

  // The program's log of the frames it showed (game/frame_meter.h), written
  // as it ends.
  std::string FrameLog() const { return dir_ / "frames.log"; }

  TempDir dir_;
  Display* display_ = nullptr;
  Damage damage_ = None;
  int damageEvent_ = 0;
  ScreenImage screen_{nullptr};
  pid_t pid_ = 0;
  int randomState_ = 0;
  std::vector<KeySym> held_;

  friend class Autopilot;
};

int Count(const pilot::World& world, pilot::Happening what) {
  return static_cast<int>(std::count_if(world.events.begin(), world.events.end(),
                                        [what](const pilot::Event& e) { return e.what == what; }));
}

bool NeedsSteps(pilot::Happening what) {
  return what == pilot::Happening::NumberEaten || what == pilot::Happening::StarEaten ||
         what == pilot::Happening::StarShown;
}

constexpr KeySym ARROWS[] = {XK_Up, XK_Right, XK_Down, XK_Left};

// Drives a game that stands paused at its start: eats numbers and the star
// along routes the planner finds, then runs into a wall.
class Autopilot {
 public:
  Autopilot(Play& play, pilot::World world) : play_(play), world_(std::move(world)) {}

  const pilot::World& World() const { return world_; }
  int steps = 0, runs = 0, lateRuns = 0;

  void Fly(int numbers) {
    for (;;) {
      // A corner the head may or may not have reached: one step more.
      while ((hi_ / CELL_TICKS) * CELL_TICKS > lo_) ASSERT_NO_FATAL_FAILURE(Step());
      while (route_.Decided() * CELL_TICKS <= lo_) route_.Decide(route_.Leaving(route_.Decided()));
      world_.RunTo(route_, lo_);
      ASSERT_FALSE(world_.over) << "the zorp died at tick " << world_.tick;
      for (const pilot::Event& e : world_.events) {
        if (e.what == pilot::Happening::NumberEaten || e.what == pilot::Happening::StarEaten) {
          if (e.tick > lastEat_) sighted_ = false;
          lastEat_ = std::max(lastEat_, e.tick);
        }
      }
      const bool die = Count(world_, pilot::Happening::NumberEaten) >= numbers &&
                       Count(world_, pilot::Happening::StarEaten) >= 1;
      const int from = route_.Decided();
      // The way set may end the game already (a turn into the wall made).
      pilot::World set = world_;
      set.RunTo(route_, from * CELL_TICKS - 1);
      ASSERT_TRUE(!set.over || die) << "the zorp dies at tick " << set.tick << Where();
      const pilot::Plan plan = set.over ? pilot::Plan{from, {}, set.tick, true, false}
                                        : pilot::PlanRoute(world_, route_, from, die);
      ASSERT_TRUE(plan.found) << "no way on from tick " << lo_ << Where();
      pilot::Route planned = route_;
      for (int d : plan.leaving) planned.Decide(d);
      // The first turn, and the first tick the game must be stepped into.
      int turn = -1;
      for (int c = from; c < planned.Decided() && turn < 0; ++c) {
        if (planned.Leaving(c) != planned.Leaving(c - 1)) turn = c;
      }
      pilot::World ahead = world_;
      ahead.RunTo(planned, die ? plan.goalTick - 1 : plan.goalTick);
      int event = INT32_MAX;
      for (size_t i = world_.events.size(); i < ahead.events.size(); ++i) {
        if (NeedsSteps(ahead.events[i].what)) event = std::min(event, ahead.events[i].tick - 1);
      }
      if (turn == from && lo_ >= (turn - 1) * CELL_TICKS) {
        ASSERT_NO_FATAL_FAILURE(Step(ARROWS[planned.Leaving(turn)]));
        route_.Decide(planned.Leaving(turn));
        continue;
      }
      if (die && turn < 0 && event == INT32_MAX) {
        // Straight on into the wall.
        play_.Tap(XK_space);
        ASSERT_TRUE(play_.WaitFor(NameEntryShown)) << "the zorp dying into the hall of fame";
        route_ = planned;
        world_.RunTo(route_, plan.goalTick);
        return;
      }
      // Free running needs the head in plain sight, past the popups. It
      // stops well past the corner before a turn (which may be a turn too,
      // where readings blur), earlier by as late as pauses have been coming.
      const bool popup = !sighted_ || lo_ < lastEat_ + POPUP_TICKS / 4;
      int trigger = INT32_MAX;
      if (turn >= 0) trigger = (turn - 1) * CELL_TICKS + 10 - lateness_;
      // A way that leads nowhere yet is planned again before its end.
      if (plan.wander) trigger = std::min(trigger, plan.goalTick - 2 * CELL_TICKS - lateness_);
      if (event - hi_ > 2 * EVENT_LEAD) {
        trigger = std::min(trigger, event - EVENT_LEAD - lateness_);
      }
      const bool stepNow = popup || event - hi_ <= 2 * EVENT_LEAD || trigger <= hi_ + 4;
      if (stepNow) {
        ASSERT_NO_FATAL_FAILURE(Step());
      } else {
        ASSERT_NO_FATAL_FAILURE(Run(trigger));
      }
    }
  }

 private:
  // The popup of an item eaten lies over the head for this long at most.
  static constexpr int POPUP_TICKS = 125;
  // Free running stops this many ticks before an item is eaten or comes on.
  static constexpr int EVENT_LEAD = 60;

  // One tick: Left Alt waits while Space resumes; the next tick pauses.
  void Step(std::optional<KeySym> hold = std::nullopt) {
    ASSERT_TRUE(PausedShown(play_.screen_));
    const ScreenImage before = play_.screen_;
    const pilot::Spot head = route_.At(hi_);
    if (hold) play_.Key(*hold, true);
    play_.Tap(XK_Alt_L);
    play_.Tap(XK_space);
    ASSERT_TRUE(play_.WaitFor(
        [&](const ScreenImage& s) {
          return PausedShown(s) && s.Differs(before, BallBox(head, 12));
        },
        true, {LABEL, BallBox(head, 64)}))
        << "one tick at " << lo_;
    if (hold) play_.Key(*hold, false);
    ++steps;
    ++lo_;
    ++hi_;
    Sight();
  }

  // Runs free until the head is seen at the trigger, then pauses.
  void Run(int trigger) {
    const int start = lo_;
    const pilot::World before = world_;
    play_.Tap(XK_space);
    int seen = lo_;
    bool lost = true;
    const auto end = std::chrono::steady_clock::now() + PATIENCE;
    for (;;) {
      ASSERT_LT(std::chrono::steady_clock::now(), end) << "the head never reached tick " << trigger;
      // Near where the head was last seen; all over when it was lost.
      play_.AwaitDrawing(end);
      play_.screen_.Grab(lost ? std::vector<Box>{}
                              : std::vector<Box>{BallBox(route_.At(seen), 120)});
      const std::optional<Ticks> head = ReadHead(play_.screen_, route_, seen - 6, seen + 3000);
      lost = !head;
      if (head) {
        seen = head->lo;
        if (seen >= trigger) break;
      }
    }
    play_.Tap(XK_p);
    ASSERT_TRUE(play_.WaitFor(PausedShown, true));
    const std::optional<Ticks> head = ReadHead(play_.screen_, route_, seen - 6, seen + 3000);
    ASSERT_TRUE(head) << "the head after running free to " << trigger << Where();
    lo_ = head->lo;
    hi_ = head->hi;
    sighted_ = true;
    ++runs;
    if (lo_ > trigger + 40) ++lateRuns;
    lateness_ = std::max({0, lateness_ * 3 / 4, lo_ - trigger + 4});
    ASSERT_NO_FATAL_FAILURE(SeeStarsCameOn(before, start));
  }

  // For a failure: the state of play, and the screen kept in a file.
  std::string Where() const {
    std::ostringstream text;
    const pilot::Cell head = route_.CornerCell(hi_ / CELL_TICKS);
    text << " (ticks " << lo_ << ".." << hi_ << ", corner " << hi_ / CELL_TICKS << " at ("
         << head.column << "," << head.row << ") heading " << route_.Heading(hi_) << ", number at ("
         << world_.number.cell.column << "," << world_.number.cell.row << ") "
         << world_.number.value << ", star ";
    if (world_.star.delay == 0) {
      text << "at (" << world_.star.cell.column << "," << world_.star.cell.row << ")";
    } else {
      text << "hidden";
    }
    text << ", events:";
    for (const pilot::Event& e : world_.events)
      text << " " << static_cast<int>(e.what) << "@" << e.tick;
    const std::string shot =
        std::filesystem::temp_directory_path() / ("zorp-play-" + std::to_string(getpid()) + ".ppm");
    if (play_.screen_.SaveAs(shot)) text << ", screen in " << shot;
    return text.str() + ")";
  }

  // Narrows the ticks the head may be at to what the screen shows.
  void Sight() {
    sighted_ = false;
    const std::optional<Ticks> head = ReadHead(play_.screen_, route_, lo_ - 6, hi_ + 6);
    // Right before an item or a wall, and under the popup of an item just
    // eaten, the head may not show.
    if (!head) return;
    const bool popup = lo_ < lastEat_ + POPUP_TICKS;
    if (popup && (head->lo > hi_ || head->hi < lo_)) return;
    lo_ = std::max(lo_, head->lo);
    hi_ = std::min(hi_, head->hi);
    ASSERT_LE(lo_, hi_) << "the head is not where the route has it" << Where();
    sighted_ = true;
  }

  // A star that came on while the game ran free saw the cells the zorp
  // marked in the last frame drawn, some ticks before: the screen tells
  // which of the places that gives it took.
  void SeeStarsCameOn(const pilot::World& before, int start) {
    pilot::World probe = before;
    probe.RunTo(route_, hi_);
    for (const pilot::Event& e : probe.events) {
      if (e.what != pilot::Happening::StarShown || e.tick <= start) continue;
      pilot::World at = before;
      at.RunTo(route_, e.tick - 1);
      std::map<int, pilot::Cell> places;
      for (int saw = std::max(start, e.tick - 14); saw < e.tick; ++saw) {
        places[saw] = at.StarPlacement(route_, saw).first;
      }
      for (const auto& [saw, cell] : places) {
        if (StarShownAt(play_.screen_, cell)) {
          world_ = before;
          world_.starSaw[e.tick] = saw;
          return;
        }
      }
      FAIL() << "the star that came on at tick " << e.tick << " is nowhere expected";
    }
  }

  Play& play_;
  pilot::World world_;
  pilot::Route route_;
  int lo_ = 0, hi_ = 0;  // the game stands paused after a tick in between
  int lastEat_ = -POPUP_TICKS;
  bool sighted_ = true;  // the head showed after the last tick
  int lateness_ = 0;     // ticks a pause came after it was asked for, lately
};

// The throwaway game must leave the number off the zorp's row; 0 if not.
int AfterThrowawayGame(int seed) {
  const pilot::World w(SeededState(seed));
  return w.number.cell.row == 11 ? 0 : w.randomState;
}

// The hall of fame the tests start from: a game scoring nothing does not
// enter it.
std::vector<Rank> LowRanks() {
  std::vector<Rank> ranks;
  for (int i = 0; i < 10; ++i) ranks.push_back({9000 - 1000 * i, "LOW"});
  ranks.back().score = 0;
  return ranks;
}

// A seed whose second game eats its number on the first tick (the number
// lies under the zorp's start) and then runs left into the wall at tick 720
// without meeting the next number.
bool EatsFirstThenMeetsTheWall(pilot::World& w) {
  w.RunTo(pilot::Route(), 15 * CELL_TICKS);
  return w.events.size() == 2 && w.events[0].what == pilot::Happening::NumberEaten &&
         w.events[0].tick == 1 && w.events[1].what == pilot::Happening::Wall;
}

int SeedForAShortGame() {
  for (int seed = 1;; ++seed) {
    const int state = AfterThrowawayGame(seed);
    pilot::World w(state);
    if (state != 0 && EatsFirstThenMeetsTheWall(w)) return seed;
  }
}

// The game the planner plays when every pause comes in time: its length
// in ticks, or 0 if it fails to eat the numbers and the star and die.
int PlannedGameTicks(pilot::World w, int numbers) {
  pilot::Route route;
  for (int plans = 0; plans < 40; ++plans) {
    const bool die = Count(w, pilot::Happening::NumberEaten) >= numbers &&
                     Count(w, pilot::Happening::StarEaten) >= 1;
    const int from = route.Decided();
    const pilot::Plan plan = pilot::PlanRoute(w, route, from, die);
    if (!plan.found) return 0;
    for (int d : plan.leaving) route.Decide(d);
    w.RunTo(route, plan.goalTick);
    if (w.over) return die && w.events.back().what == pilot::Happening::Wall ? w.tick : 0;
  }
  return 0;
}

// Of the first seeds whose star comes on early, the one with the shortest
// planned game.
int SeedForAScoringGame(int numbers) {
  int best = 0, bestTicks = 0;
  for (int seed = 1, tried = 0; tried < 8; ++seed) {
    const int state = AfterThrowawayGame(seed);
    if (state == 0 || pilot::World(state).star.delay > 1500) continue;
    ++tried;
    const int ticks = PlannedGameTicks(pilot::World(state), numbers);
    if (ticks != 0 && (best == 0 || ticks < bestTicks)) {
      best = seed;
      bestTicks = ticks;
    }
  }
  return best;
}

class PlayEachBuild : public Play, public testing::WithParamInterface<Build> {
 protected:
  void SetUp() override {
    Play::SetUp();
    if (GetParam() != Build::Installed) return;
    // Root writes anywhere, so the game would keep its files beside itself.
    const std::filesystem::path folder = std::filesystem::path(InstalledProgram()).parent_path();
    ASSERT_NE(access(folder.c_str(), W_OK), 0)
        << folder << " can be written, as it cannot by a player: run the test as another user";
  }
};

TEST_P(PlayEachBuild, AWholeGameFromTheIntroToTheSavedHallOfFame) {
  const int seed = SeedForAShortGame();
  std::filesystem::create_directories(std::filesystem::path(GameFile(GetParam(), "")));
  WriteFileBytes(GameFile(GetParam(), "scores.dat"), ScoresFile(LowRanks()));
  Start(seed, GetParam());
  ASSERT_NO_FATAL_FAILURE(SkipIntro());
  EXPECT_GT(screen_.Count({6, 8, 120, 40}, GREEN), 20) << "the best score, top left, in green";
  EXPECT_GT(screen_.Count({4, 44 + 56, 796, 44 + 80}, YELLOW), 50) << "the first rank";

  ASSERT_NO_FATAL_FAILURE(PauseAGameAway());
  pilot::World expected = StartPausedGame();
  ASSERT_TRUE(EatsFirstThenMeetsTheWall(expected)) << "not the game chosen: a throwaway game "
                                                      "ran into the wall before it paused";
  // P resumes: the zorp eats the number lying under it in the first tick,
  // runs left into the wall, and the score enters the hall of fame.
  Tap(XK_p);
  ASSERT_TRUE(WaitFor([](const ScreenImage& s) { return !PausedShown(s); })) << "PAUSED goes";
  ASSERT_TRUE(WaitFor(NameEntryShown)) << "CONGRATULATIONS";
  for (KeySym k : {XK_e, XK_2, XK_e, XK_BackSpace, XK_E, XK_Return}) Tap(k);
  ASSERT_TRUE(WaitFor(TitleShown));
  Tap(XK_Escape);
  EXPECT_EQ(Exit(), 0);

  EXPECT_EQ(ReadFileBytes(GameFile(GetParam(), "scores.dat")),
            ScoresFile(Entered(LowRanks(), expected.score, "E2E")))
      << "scored " << expected.score;
  EXPECT_EQ(ReadFileBytes(GameFile(GetParam(), "config.ini")), DriverFile(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(, PlayEachBuild, testing::ValuesIn(Builds()),
                         [](const testing::TestParamInfo<Build>& build) {
                           return BuildName(build.param);
                         });

// Pixels in the box that are not exactly alike.
int Unlike(const ScreenImage& a, const ScreenImage& b, Box box) {
  int n = 0;
  for (int y = box.y0; y < box.y1; ++y) {
    for (int x = box.x0; x < box.x1; ++x) {
      const Rgb p = a.At(x, y), q = b.At(x, y);
      n += p.r != q.r || p.g != q.g || p.b != q.b ? 1 : 0;
    }
  }
  return n;
}

// The screen above and below the rows from top to bottom.
std::vector<Box> Without(int top, int bottom) { return {{0, 0, 800, top}, {0, bottom, 800, 600}}; }

void SaveTitles(const std::vector<ScreenImage>& titles, const char* names[]) {
  for (size_t i = 0; i < titles.size(); ++i) {
    titles[i].SaveAs(std::filesystem::temp_directory_path() /
                     (std::string("zorp-title-") + names[i] + ".ppm"));
  }
}

// The top-level window named Zorp, or 0.
Window ZorpWindow(Display* display) {
  Window root = 0, parent = 0, *children = nullptr, found = 0;
  unsigned count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name) {
      if (std::strcmp(name, "Zorp") == 0) found = children[i];
      XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

// What the desktop matches the game's window with (its desktop entry names
// the class Zorp) and the icon it shows for it, from the game's own files.
TEST_F(Play, TheWindowHasTheGamesClassAndIconInFiveSizes) {
  Start(1);
  ASSERT_NO_FATAL_FAILURE(SkipIntro());
  const Window window = ZorpWindow(display_);
  ASSERT_NE(window, 0u);
  XClassHint hint{};
  ASSERT_TRUE(XGetClassHint(display_, window, &hint));
  EXPECT_STREQ(hint.res_name, "zorp");
  EXPECT_STREQ(hint.res_class, "Zorp");
  XFree(hint.res_name);
  XFree(hint.res_class);

  const std::vector<uint32_t> items = X11CardinalProperty(display_, window, "_NET_WM_ICON");
  std::vector<unsigned long> sizes;
  for (size_t at = 0; at + 2 <= items.size();) {
    const unsigned long size = items[at];
    if (items[at + 1] != size) break;
    sizes.push_back(size);
    // All but clear in the rounded tile's corner, opaque in the middle.
    EXPECT_LE(items[at + 2] >> 24, 8u) << size;
    EXPECT_EQ(items[at + 2 + size * size / 2 + size / 2] >> 24, 0xFFu) << size;
    at += 2 + size * size;
  }
  EXPECT_EQ(sizes, (std::vector<unsigned long>{16, 32, 48, 64, 128}));
  Tap(XK_Escape);
  EXPECT_EQ(Exit(), 0);
}

// Both builds end in the same Mesa, the Windows one through WGL on Wine and
// this one through GLX: the title screens must match pixel for pixel, but
// for the driver line that only the Windows build has, which moves "PRESS
// SPACE TO START" down.
TEST_F(Play, TheWindowsBuildShowsTheSameTitle) {
  if (!WindowsProgram())
    GTEST_SKIP() << "No Windows build: ZORP_WINDOWS_PROGRAM names its zorp.exe";
  std::vector<ScreenImage> titles;
  for (Build build : {Build::Linux, Build::Windows}) {
    WriteFileBytes(dir_ / "config.ini", OPENGL_FILE);
    Start(1, build);
    ASSERT_NO_FATAL_FAILURE(SkipIntro());
    ASSERT_TRUE(WaitFor(TitleShown, true));
    titles.push_back(screen_);
    Tap(XK_Escape);
    ASSERT_EQ(Exit(), 0);
  }
  EXPECT_FALSE(DriverLineShown(titles[0]));
  EXPECT_TRUE(DriverLineShown(titles[1]));
  int unlike = 0;
  for (Box part : Without(44 + 386, 44 + 470)) unlike += titles[1].Changed(titles[0], part);
  if (unlike != 0) {
    const char* names[] = {"linux", "windows"};
    SaveTitles(titles, names);
    ADD_FAILURE() << unlike << " pixels differ clearly; the titles are in /tmp/zorp-title-*.ppm";
  }
}

// Started on DirectX 7 as config.ini says, G switches to OpenGL and back on
// the title screen: each switch shows the title again, the same but for
// the driver line, which names the other driver, and the choice last made
// is saved.
TEST_F(Play, GSwitchesTheWindowsBuildBetweenItsDrivers) {
  if (!WindowsProgram())
    GTEST_SKIP() << "No Windows build: ZORP_WINDOWS_PROGRAM names its zorp.exe";
  WriteFileBytes(dir_ / "config.ini", DIRECTX_FILE);
  Start(1, Build::Windows);
  ASSERT_NO_FATAL_FAILURE(SkipIntro());
  const auto titleWithLine = [](const ScreenImage& s) {
    return TitleShown(s) && DriverLineShown(s);
  };
  std::vector<ScreenImage> titles;
  ASSERT_TRUE(WaitFor(titleWithLine, true));
  titles.push_back(screen_);
  for (int i = 0; i < 2; ++i) {
    const ScreenImage before = screen_;
    Tap(XK_g);
    ASSERT_TRUE(WaitFor(
        [&](const ScreenImage& s) { return titleWithLine(s) && s.Differs(before, DRIVER_LINE); },
        true))
        << "switch " << i + 1 << ": the title again, naming the other driver";
    titles.push_back(screen_);
  }
  Tap(XK_Escape);
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(ReadFileBytes(dir_ / "config.ini"), DIRECTX_FILE);

  // The drivers draw the title alike, pixel for pixel.
  int acrossDrivers = 0;
  for (Box part : Without(DRIVER_LINE.y0, DRIVER_LINE.y1)) {
    acrossDrivers += Unlike(titles[0], titles[1], part);
  }
  const int backAgain = Unlike(titles[0], titles[2], {0, 0, 800, 600});
  if (acrossDrivers != 0 || backAgain != 0) {
    const char* names[] = {"directx", "opengl", "directx-again"};
    SaveTitles(titles, names);
    ADD_FAILURE() << acrossDrivers << " pixels differ between the drivers, " << backAgain
                  << " after switching back; the titles are in /tmp/zorp-title-*.ppm";
  }
}

TEST_F(Play, ASteeredGameScoresByTheRules) {
  constexpr int NUMBERS = 3;
  const int seed = SeedForAScoringGame(NUMBERS);
  ASSERT_NE(seed, 0);
  WriteFileBytes(dir_ / "scores.dat", ScoresFile(LowRanks()));
  Start(seed);
  ASSERT_NO_FATAL_FAILURE(SkipIntro());
  ASSERT_NO_FATAL_FAILURE(PauseAGameAway());
  Autopilot pilot(*this, StartPausedGame());
  ASSERT_NO_FATAL_FAILURE(pilot.Fly(NUMBERS));
  const pilot::World& game = pilot.World();
  std::ostringstream story;
  story << "seed " << seed << ", " << pilot.steps << " steps, " << pilot.runs << " runs ("
        << pilot.lateRuns << " late):";
  for (const pilot::Event& e : game.events) {
    story << " [" << static_cast<int>(e.what) << " at " << e.tick << " (" << e.cell.column << ","
          << e.cell.row << ") " << e.points << "]";
  }
  RecordProperty("story", story.str());
  std::printf("%s\n", story.str().c_str());
  EXPECT_GE(Count(game, pilot::Happening::NumberEaten), NUMBERS);
  EXPECT_GE(Count(game, pilot::Happening::StarEaten), 1);
  for (KeySym k : {XK_p, XK_i, XK_l, XK_o, XK_t, XK_Return}) Tap(k);
  ASSERT_TRUE(WaitFor(TitleShown));
  Tap(XK_Escape);
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(ReadFileBytes(dir_ / "scores.dat"),
            ScoresFile(Entered(LowRanks(), game.score, "PILOT")))
      << story.str();
}

struct Outcome {
  int exit;
  std::string out, err;
};

// Runs the program with the arguments to its end, without a display.
Outcome RunProgram(std::vector<std::string> args) {
  const TempDir dir;
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, (dir / "out").c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&files, 2, (dir / "err").c_str(), O_WRONLY | O_CREAT, 0600);
  std::string program = ZORP_PROGRAM;
  std::vector<char*> argv{program.data()};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  char* envp[] = {nullptr};
  pid_t pid = 0;
  int status = -1;
  if (posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), envp) == 0) {
    waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&files);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(dir / "out"),
          ReadFileBytes(dir / "err")};
}

TEST(PlayOptions, TheSeedIsAnIntegerOrRefused) {
  const Outcome help = RunProgram({"--help"});
  EXPECT_EQ(help.exit, 0);
  EXPECT_NE(help.out.find("--seed N"), std::string::npos) << help.out;
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"--seed"},
                                             {"--seed", "abc"},
                                             {"--seed", "12x"},
                                             {"--seed", ""},
                                             {"--seed", "99999999999"},
                                             {"--seed", "1.5"},
                                             {"--window", "--seed"}}) {
    const Outcome refused = RunProgram(bad);
    EXPECT_EQ(refused.exit, 2) << bad.back();
    EXPECT_NE(refused.err.find("Usage: zorp"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
}

// Frames flipped during the intro, by the program's frame log.
int IntroFlips(const std::string& log) {
  std::istringstream lines(ReadFileBytes(log));
  int flips = -1;  // before the intro
  for (std::string label, rest; lines >> label && std::getline(lines, rest);) {
    if (label == "intro") flips = 0;
    if (label == "loaded") return flips;
    if (label == "flip" && flips >= 0) ++flips;
  }
  return flips;
}

// Ending the session: SIGTERM on Linux; on Windows every window is told
// (WM_ENDSESSION), which wineboot does as Windows does at log-off. Already
// during the intro, whose cross-fades then never start.
TEST_P(PlayEachBuild, ClosingTheSessionSavesTheHallOfFame) {
  Start(1, GetParam());
  ASSERT_TRUE(WaitFor(LoadingShown));
  if (GetParam() == Build::Windows) {
    ASSERT_EQ(std::system("wine wineboot --end-session"), 0);
  } else {
    kill(pid_, SIGTERM);
  }
  EXPECT_EQ(Exit(), 0);
  std::vector<Rank> defaults;
  for (int i = 0; i < 10; ++i) defaults.push_back({500000 - 50000 * i, "QUILLMOOR SOFTWARE"});
  EXPECT_EQ(ReadFileBytes(GameFile(GetParam(), "scores.dat")), ScoresFile(defaults));
  EXPECT_EQ(ReadFileBytes(GameFile(GetParam(), "config.ini")), DriverFile(GetParam()));
  EXPECT_EQ(IntroFlips(FrameLog()), 0) << "the intro went on";
}

// Another window takes the keyboard's focus during a game: the game pauses
// as P pauses it. Windows minimises a full-screen game that loses the focus;
// restorewindow (ZORP_RESTORE_WINDOW) brings it back, as the taskbar would.
TEST_P(PlayEachBuild, LosingTheFocusPausesTheGame) {
  const bool windows = GetParam() == Build::Windows;
  const char* restore = std::getenv("ZORP_RESTORE_WINDOW");
  if (windows && !restore) GTEST_SKIP() << "ZORP_RESTORE_WINDOW names no restorewindow.exe";
  Start(1, GetParam());
  ASSERT_NO_FATAL_FAILURE(SkipIntro());
  const Window game = ZorpWindow(display_);
  ASSERT_NE(game, 0u);
  Tap(XK_space);
  ASSERT_TRUE(WaitFor([](const ScreenImage& s) { return !TitleShown(s); })) << "a game";
  const Window other =
      XCreateSimpleWindow(display_, DefaultRootWindow(display_), 799, 599, 1, 1, 0, 0, 0);
  XMapWindow(display_, other);
  XSync(display_, False);
  XSetInputFocus(display_, other, RevertToPointerRoot, CurrentTime);
  XFlush(display_);
  if (windows) {
    ASSERT_TRUE(WaitFor([&](const ScreenImage&) {
      XWindowAttributes a{};
      return XGetWindowAttributes(display_, game, &a) && a.width < 800;
    })) << "minimised";
    ASSERT_EQ(std::system(("wine '" + std::string(restore) + "' Zorp >/dev/null").c_str()), 0);
  }
  EXPECT_TRUE(WaitFor(PausedShown)) << "PAUSED";
}

}  // namespace

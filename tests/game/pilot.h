#pragma once
// A model of one game of zorp, tick by tick, for the end-to-end tests: the
// route the head takes, every ball's place, the cells the balls mark, the
// number and the star with the game's own random generator, the score; and a
// planner that finds routes to the items. It assumes what the tests arrange:
// the items see the cells the zorp marked after the tick before (the game was
// paused, and so drawn, between every two ticks that matter).

#include <map>
#include <optional>
#include <vector>

namespace pilot {

constexpr int COLUMNS = 33, ROWS = 23;
// Ticks per cell, which is also the number of half pixels per cell: the
// zorp moves half a pixel per tick, and the model counts in half pixels.
constexpr int CELL_TICKS = 48;
constexpr int BALL_TICKS = 16;  // balls are 8 pixels apart
constexpr int START_BALLS = 9;

// The game's direction numbers.
enum Direction : int { UP = 0, RIGHT = 1, DOWN = 2, LEFT = 3 };

struct Cell {
  int column = 0, row = 0;
  bool operator==(const Cell&) const = default;
};

// A point of the play area in half pixels.
struct Spot {
  int x = 0, y = 0;
};

Cell Next(Cell cell, int direction);
bool Inside(Cell cell);
int Reverse(int direction);

// The head's route: it starts on the corner of cell (15, 11) heading left
// and reaches a cell corner every 48 ticks, corner k at tick 48k, where it
// goes on in the direction decided for that corner. After the last decided
// corner it goes straight on, as the game does with no new key.
class Route {
 public:
  Route();
  int Decided() const { return static_cast<int>(leaving_.size()); }
  int Leaving(int corner) const;
  Cell CornerCell(int corner) const;
  // The head's top-left corner after moving `ticks` ticks along the route;
  // negative ticks lie behind the start, where the first balls are.
  Spot At(int ticks) const;
  // The direction of travel in the tick that ends at `ticks`.
  int Heading(int ticks) const;
  void Decide(int direction);
  void Forget(int corners);  // keeps only the first decisions

 private:
  std::vector<int> leaving_;
  std::vector<Cell> corners_;
};

enum class Happening { NumberEaten, StarEaten, StarShown, StarGone, Countdown, Wall };

struct Event {
  Happening what;
  int tick;
  Cell cell;
  int points = 0;  // for an eaten item; the value for a number
};

struct Number {
  Cell cell;
  int value = 0, ticksLeft = 0;
};

struct Star {
  Cell cell;
  int delay = 0, lifeLeft = 0, bonus = 0;
};

class World {
 public:
  // The generator's state when the game's Space press starts a new game.
  explicit World(int randomState);
  // Ticks of play so far; the zorp stands on its start at 0.
  int tick = 0;
  int score = 0;
  bool over = false;
  // The first tick at which a body ball came within reach of the head
  // (the game's own test is finer, but the planner keeps clear of it).
  std::optional<int> bodyRisk;
  Number number;
  Star star;
  std::vector<Event> events;
  int randomState;
  // The star that comes on at a tick (the key) sees the cells marked after
  // another tick than the one before (the value): the game ran free then.
  std::map<int, int> starSaw;

  // One tick of play along the route.
  void Tick(const Route& route);
  void RunTo(const Route& route, int lastTick);
  // The cells the balls mark after the tick.
  std::vector<Cell> MarkedCells(const Route& route, int atTick) const;
  int Balls() const { return START_BALLS + static_cast<int>(grown_.size()); }
  // Where ball i (0 the head) lies after the tick, in route ticks.
  int BallTicks(int i, int atTick) const;
  // Where the star would come on at `tick` with the cells marked after
  // `markedAt`, and the generator's state after the draws.
  std::pair<Cell, int> StarPlacement(const Route& route, int markedAt) const;

 private:
  int Draw(int a, int b);
  void PlaceNumber(const std::vector<Cell>& marked);
  void UpdateNumber(const std::vector<Cell>& marked);
  void UpdateStar(const Route& route, const std::vector<Cell>& marked);
  void Grow();
  // A ball added at the tail waits where the tail was, then follows.
  struct grown {
    int tick, waitAt;
  };
  std::vector<grown> grown_;
};

// A planned way on from corner `from`: the direction for each corner from
// there, up to the one where the target item gets eaten (or the zorp runs
// into the wall, when `die` was asked for).
struct Plan {
  int from = 0;
  std::vector<int> leaving;
  // The tick at which the item is eaten, or the zorp dies.
  int goalTick = 0;
  bool found = false;
  // No item could be reached: a safe way a few corners on, to plan again
  // from there; goalTick is its last corner.
  bool wander = false;
};

// The shortest route from corner `from` (whose direction is not decided yet)
// that eats the number or the star, turning onto each item's cell from the
// cell before it so that a turn missed passes it by (or a safe way on when
// none does); or, with die, into a wall (or the number's end) without
// eating anything. The world is at a tick before that corner.
// The route's items are those on the field when the head reaches the
// corner.
Plan PlanRoute(const World& world, const Route& route, int from, bool die);

}  // namespace pilot

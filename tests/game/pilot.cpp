#include "tests/game/pilot.h"

#include <algorithm>
#include <deque>
#include <stdexcept>

#include "game/random.h"

namespace pilot {

namespace {

constexpr int STEP_X[] = {0, 1, 0, -1};
constexpr int STEP_Y[] = {-1, 0, 1, 0};
constexpr Cell START{15, 11};
constexpr int TICKS_PER_DIGIT = 500;
constexpr int STAR_BONUS = 2000, LEAST_BONUS = 10;
constexpr int MAX_STAR_DRAWS = 100000;
constexpr int GROW_WAIT = 16;
// Balls right behind the head that never count as touching it.
constexpr int SAFE_BALLS = 4;
// Head and body balls are drawn about 24 and 20 pixels wide; centres closer
// than 24 pixels (48 half pixels) may touch.
constexpr int REACH = 48;

int Left(int direction) { return (direction + 3) % 4; }
int Right(int direction) { return (direction + 1) % 4; }

bool Holds(const std::vector<Cell>& cells, Cell cell) {
  return std::find(cells.begin(), cells.end(), cell) != cells.end();
}

}  // namespace

Cell Next(Cell cell, int direction) {
  return {cell.column + STEP_X[direction], cell.row + STEP_Y[direction]};
}

bool Inside(Cell cell) {
  return cell.column >= 0 && cell.column < COLUMNS && cell.row >= 0 && cell.row < ROWS;
}

int Reverse(int direction) { return (direction + 2) % 4; }

Route::Route() : corners_{START} { Decide(LEFT); }

int Route::Leaving(int corner) const {
  return leaving_[std::min<size_t>(static_cast<size_t>(std::max(corner, 0)), leaving_.size() - 1)];
}

Cell Route::CornerCell(int corner) const {
  const int last = Decided();
  if (corner <= last) return corners_[static_cast<size_t>(corner)];
  const int d = leaving_.back();
  const Cell end = corners_.back();
  return {end.column + STEP_X[d] * (corner - last), end.row + STEP_Y[d] * (corner - last)};
}

Spot Route::At(int ticks) const {
  if (ticks < 0) return {START.column * CELL_TICKS - ticks, START.row * CELL_TICKS};
  const int corner = ticks / CELL_TICKS, along = ticks % CELL_TICKS;
  const Cell cell = CornerCell(corner);
  const int d = Leaving(corner);
  return {cell.column * CELL_TICKS + STEP_X[d] * along, cell.row * CELL_TICKS + STEP_Y[d] * along};
}

int Route::Heading(int ticks) const {
  return ticks <= 0 ? LEFT : Leaving((ticks - 1) / CELL_TICKS);
}

void Route::Decide(int direction) {
  leaving_.push_back(direction);
  corners_.push_back(Next(corners_.back(), direction));
}

void Route::Forget(int corners) {
  leaving_.resize(static_cast<size_t>(std::max(corners, 1)));
  corners_.resize(leaving_.size() + 1);
}

World::World(int state) : randomState(state) {
  // A new game: the grid was just cleared, so the number's first draw is free.
  number.cell = {Draw(0, COLUMNS - 1), Draw(0, ROWS - 1)};
  number.value = Draw(6, 9);
  number.ticksLeft = TICKS_PER_DIGIT;
  star.delay = 750 * Draw(10, 1);
}

int World::Draw(int a, int b) {
  SeedRandom(randomState);
  const int value = RandomInt(a, b);
  randomState = RandomSeed();
  return value;
}

int World::BallTicks(int i, int atTick) const {
  if (i < START_BALLS) return atTick - BALL_TICKS * i;
  const grown& g = grown_[static_cast<size_t>(i - START_BALLS)];
  return g.waitAt + std::max(0, atTick - g.tick - GROW_WAIT);
}

std::vector<Cell> World::MarkedCells(const Route& route, int atTick) const {
  std::vector<Cell> cells;
  const int balls = START_BALLS + static_cast<int>(std::count_if(
                                      grown_.begin(), grown_.end(),
                                      [&](const grown& g) { return g.tick <= atTick; }));
  for (int i = 0; i < balls; ++i) {
    const Spot s = route.At(BallTicks(i, atTick));
    const Cell cell{s.x / CELL_TICKS, s.y / CELL_TICKS};
    cells.push_back(cell);
    if (s.x % CELL_TICKS != 0) {
      cells.push_back({cell.column + 1, cell.row});
    } else if (s.y % CELL_TICKS != 0) {
      cells.push_back({cell.column, cell.row + 1});
    }
  }
  return cells;
}

void World::Grow() {
  const int tail = Balls() - 1;
  grown_.push_back({tick, BallTicks(tail, tick)});
}

void World::PlaceNumber(const std::vector<Cell>& marked) {
  do {
    number.cell.column = Draw(0, COLUMNS - 1);
    number.cell.row = Draw(0, ROWS - 1);
  } while (Holds(marked, number.cell));
  number.value = Draw(6, 9);
  number.ticksLeft = TICKS_PER_DIGIT;
}

std::pair<Cell, int> World::StarPlacement(const Route& route, int markedAt) const {
  World draws = *this;
  const std::vector<Cell> marked = MarkedCells(route, markedAt);
  for (int n = 1; n <= MAX_STAR_DRAWS; ++n) {
    const Cell cell{draws.Draw(0, COLUMNS - 1), draws.Draw(0, ROWS - 1)};
    if (!Holds(marked, cell) && cell.column != number.cell.column && cell.row != number.cell.row) {
      return {cell, draws.randomState};
    }
  }
  throw std::logic_error("the star found no cell");
}

void World::UpdateNumber(const std::vector<Cell>& marked) {
  if (Holds(marked, number.cell)) {
    const int base = number.value * number.value * 10;
    const int points = base + base / 100 * number.ticksLeft;
    score += points;
    events.push_back({Happening::NumberEaten, tick, number.cell, points});
    PlaceNumber(marked);
    Grow();
    return;
  }
  if (--number.ticksLeft != 0) return;
  if (--number.value == 0) {
    events.push_back({Happening::Countdown, tick, number.cell});
    over = true;
  } else {
    number.ticksLeft = TICKS_PER_DIGIT;
  }
}

void World::UpdateStar(const Route& route, const std::vector<Cell>& marked) {
  if (star.delay != 0) {
    if (--star.delay != 0) return;
    const auto saw = starSaw.find(tick);
    std::tie(star.cell, randomState) =
        StarPlacement(route, saw == starSaw.end() ? tick - 1 : saw->second);
    star.lifeLeft = 500 * Draw(5, 10);
    star.bonus = STAR_BONUS;
    events.push_back({Happening::StarShown, tick, star.cell});
    return;
  }
  if (Holds(marked, star.cell)) {
    const int points = 10 * star.bonus;
    score += points;
    events.push_back({Happening::StarEaten, tick, star.cell, points});
    star.delay = 750 * Draw(10, 1);
    Grow();
    return;
  }
  --star.lifeLeft;
  if (star.bonus > LEAST_BONUS) --star.bonus;
  if (star.lifeLeft == 0) {
    events.push_back({Happening::StarGone, tick, star.cell});
    star.delay = 750 * Draw(10, 1);
  }
}

void World::Tick(const Route& route) {
  ++tick;
  if (tick % CELL_TICKS == 0) {
    const int corner = tick / CELL_TICKS;
    if (!Inside(Next(route.CornerCell(corner), route.Leaving(corner)))) {
      events.push_back({Happening::Wall, tick, route.CornerCell(corner)});
      over = true;
    }
  }
  const Spot head = route.At(tick);
  for (int i = 1 + SAFE_BALLS; i < Balls() && !bodyRisk; ++i) {
    const Spot ball = route.At(BallTicks(i, tick));
    const int dx = head.x - ball.x, dy = head.y - ball.y;
    if (dx * dx + dy * dy < REACH * REACH) bodyRisk = tick;
  }
  // The items still have their tick when the zorp has just died. Both see
  // the cells marked after the tick before (a ball grown now is not yet
  // among them).
  const std::vector<Cell> marked = MarkedCells(route, tick - 1);
  UpdateNumber(marked);
  UpdateStar(route, marked);
}

void World::RunTo(const Route& route, int lastTick) {
  while (tick < lastTick && !over) Tick(route);
}

namespace {

struct node {
  Cell cell;
  int arrived;  // direction
  int parent;   // index, -1 for the start
  int leaving;  // direction taken from the parent
  int depth;
};

int NodeKey(Cell cell, int direction) { return (cell.row * COLUMNS + cell.column) * 4 + direction; }

// Eats must come right after a turn onto the item, or so close that the
// tests step through them tick by tick anyway.
bool Guarded(const Route& route, int from, int eatTick) {
  if (eatTick <= from * CELL_TICKS + 2) return true;
  const int corner = (eatTick - 2) / CELL_TICKS;
  return (eatTick - 2) % CELL_TICKS == 0 && route.Leaving(corner) != route.Leaving(corner - 1);
}

enum class Aim { Eat, Die, Wander };

struct trial {
  bool ok = false;
  int goalTick = 0;
  std::optional<Cell> avoid;  // a cell to keep off when trying again
};

// Plays the plan in the model up to its goal: the item eaten after the last
// corner, the zorp dead there (by the wall, or by the number running out),
// or the last corner passed safely.
trial Try(const World& world, const Route& base, int from, const std::vector<int>& leaving,
          Aim aim) {
  Route route = base;
  route.Forget(from);
  for (int d : leaving) route.Decide(d);
  World w = world;
  w.bodyRisk.reset();
  const int goalCorner = from + static_cast<int>(leaving.size()) - 1;
  const int limit = goalCorner * CELL_TICKS + (aim == Aim::Eat ? 2 : 0);
  const size_t seen = w.events.size();
  w.RunTo(route, limit);
  trial t;
  if (w.bodyRisk && *w.bodyRisk <= limit) {
    t.avoid = route.CornerCell((*w.bodyRisk + CELL_TICKS - 1) / CELL_TICKS);
    return t;
  }
  bool reached = aim == Aim::Wander;
  for (size_t i = seen; i < w.events.size(); ++i) {
    const Event& e = w.events[i];
    const bool eaten = e.what == Happening::NumberEaten || e.what == Happening::StarEaten;
    if (eaten && !Guarded(route, from, e.tick)) {
      t.avoid = e.cell;
      return t;
    }
    const bool death = e.what == Happening::Countdown || e.what == Happening::Wall;
    if (death && aim != Aim::Die) return t;
    if (death) {
      t.ok = true;
      t.goalTick = e.tick;
      return t;
    }
    reached = reached || (aim == Aim::Eat && eaten && e.tick == limit);
  }
  t.ok = reached;
  t.goalTick = limit;
  return t;
}

// Missable: every turn but the next must be one that, missed, goes on
// safely (the tests make the next one while paused).
Plan Search(const World& world, const Route& route, int from, Aim aim, bool missable = true) {
  // Far enough to be clear of trouble, near enough to plan again soon.
  constexpr int WANDER_CORNERS = 6;
  std::vector<Cell> avoid;
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::vector<Cell> items{world.number.cell};
    if (world.star.delay == 0) items.push_back(world.star.cell);
    const auto isItem = [&](Cell c) {
      return std::find(items.begin(), items.end(), c) != items.end() ||
             std::find(avoid.begin(), avoid.end(), c) != avoid.end();
    };
    const auto isTarget = [&](Cell c) {
      return aim == Aim::Eat && std::find(items.begin(), items.end(), c) != items.end() &&
             std::find(avoid.begin(), avoid.end(), c) == avoid.end();
    };
    std::vector<node> nodes{{route.CornerCell(from), route.Leaving(from - 1), -1, -1, 0}};
    std::vector<bool> seen(COLUMNS * ROWS * 4, false);
    seen[static_cast<size_t>(NodeKey(nodes[0].cell, nodes[0].arrived))] = true;
    std::optional<Cell> retryAvoiding;
    for (size_t n = 0; n < nodes.size() && !retryAvoiding; ++n) {
      const node here = nodes[n];
      const Cell ahead = Next(here.cell, here.arrived);
      for (int d : {here.arrived, Left(here.arrived), Right(here.arrived)}) {
        const Cell to = Next(here.cell, d);
        const bool turn = d != here.arrived;
        const bool safe = !missable || here.depth == 0 || (Inside(ahead) && !isItem(ahead));
        const bool goal = aim == Aim::Die ? !Inside(to) && (!turn || safe)
                          : aim == Aim::Eat
                              ? isTarget(to) && (turn || here.depth == 0) && safe
                              : here.depth >= WANDER_CORNERS && Inside(to) && !isItem(to) && !turn;
        if (goal) {
          std::vector<int> leaving{d};
          for (int i = static_cast<int>(n); nodes[static_cast<size_t>(i)].parent >= 0;
               i = nodes[static_cast<size_t>(i)].parent) {
            leaving.push_back(nodes[static_cast<size_t>(i)].leaving);
          }
          std::reverse(leaving.begin(), leaving.end());
          const trial t = Try(world, route, from, leaving, aim);
          if (t.ok) return {from, leaving, t.goalTick, true, aim == Aim::Wander};
          if (t.avoid) {
            retryAvoiding = t.avoid;
            break;
          }
          continue;
        }
        if (!Inside(to) || isItem(to) || (turn && !safe)) continue;
        const size_t key = static_cast<size_t>(NodeKey(to, d));
        if (seen[key]) continue;
        seen[key] = true;
        nodes.push_back({to, d, static_cast<int>(n), d, here.depth + 1});
      }
    }
    if (!retryAvoiding) break;
    avoid.push_back(*retryAvoiding);
  }
  return {from, {}, 0, false, false};
}

}  // namespace

Plan PlanRoute(const World& now, const Route& route, int from, bool die) {
  // Up to the corner, the way is set: what happens there happens anyway.
  World world = now;
  world.RunTo(route, from * CELL_TICKS - 1);
  if (world.over) return {from, {}, 0, false, false};
  if (die) return Search(world, route, from, Aim::Die);
  for (const Plan& plan :
       {Search(world, route, from, Aim::Eat), Search(world, route, from, Aim::Wander),
        Search(world, route, from, Aim::Wander, false)}) {
    if (plan.found) return plan;
  }
  return {from, {}, 0, false, false};
}

}  // namespace pilot

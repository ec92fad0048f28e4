#include "game/zorp.h"

#include <cmath>

#include "game/game_state.h"
#include "game/items.h"
#include "game/occupancy_grid.h"
#include "graphics/collide/collide.h"
#include "graphics/draw2d/draw_state.h"
#include "system/polled_input.h"

int TZorpSegment::segmentCount = 0;
Ref<TZorpSegment> TZorpSegment::tail;
int TZorpSegment::turnCountdown = 0;
int TZorpSegment::startColumn = 15;
int TZorpSegment::startRow = 11;
int TZorpSegment::startLength = 9;
double TZorpSegment::requestDx = -SPEED;
double TZorpSegment::requestDy = 0;
int TZorpSegment::direction = 3;
int TZorpSegment::requestDirection = 3;

namespace {

struct steering {
  int keys[3];
  int forbidden;  // the direction this key would reverse
  double dx, dy;
  int direction;
};

// Tested in this order; the first key held that does not reverse the zorp
// latches its request.
constexpr steering STEERING[] = {
    {{KEY_UP, KEY_BACKQUOTE, KEY_QUOTE}, 2, 0, -TZorpSegment::SPEED, 0},
    {{KEY_DOWN, KEY_SLASH, 0}, 0, 0, TZorpSegment::SPEED, 2},
    {{KEY_LEFT, KEY_Z, 0}, 1, -TZorpSegment::SPEED, 0, 3},
    {{KEY_RIGHT, KEY_X, 0}, 3, TZorpSegment::SPEED, 0, 1},
};

void Steer() {
  for (const steering& s : STEERING) {
    if (TZorpSegment::direction == s.forbidden) continue;
    bool held = false;
    for (int key : s.keys) held = held || (key != 0 && IsKeyDown(key));
    if (!held) continue;
    TZorpSegment::requestDx = s.dx;
    TZorpSegment::requestDy = s.dy;
    TZorpSegment::requestDirection = s.direction;
    return;
  }
}

Ref<TZorpSegment> Ball(int isHead, double x, double y, int stepCounter, int wait,
                       Ref<TZorpSegment> leader) {
  Ref<TZorpSegment> ball = New<TZorpSegment>();
  ball->isHead = isHead;
  ball->x = x;
  ball->y = y;
  ball->dx = -TZorpSegment::SPEED;
  ball->dy = 0;
  ball->stepCounter = stepCounter;
  ball->wait = wait;
  ball->leader = std::move(leader);
  return ball;
}

// Marks the one or two cells the ball overlaps.
void MarkCells(const TZorpSegment& ball) {
  TOccupancyGrid& grid = OccupancyGrid();
  const int column = static_cast<int>(ball.x / CELL), row = static_cast<int>(ball.y / CELL);
  grid.Set(column, row, 1);
  if (std::fmod(ball.x, CELL) != 0) {
    grid.Set(static_cast<int>(std::floor(ball.x / CELL)) + 1, row, 1);
  } else if (std::fmod(ball.y, CELL) != 0) {
    grid.Set(static_cast<int>(std::floor(ball.x / CELL)), static_cast<int>(ball.y / CELL + 1), 1);
  }
}

}  // namespace

std::vector<Ref<TZorpSegment>>& TZorpSegment::Segments() {
  static std::vector<Ref<TZorpSegment>> segments;
  return segments;
}

void TZorpSegment::Create(int column, int row, int length) {
  std::vector<Ref<TZorpSegment>>& balls = Segments();
  // Leaders point forwards only, so clearing frees every ball.
  balls.clear();
  double x = CELL * column;
  const double y = CELL * row;
  balls.push_back(Ball(1, x, y, TICKS_PER_CELL, 0, nullptr));
  for (int i = 1; i < length; ++i) {
    x += 8;
    int counter = balls.back()->stepCounter + 16;
    if (counter > TICKS_PER_CELL) counter -= TICKS_PER_CELL;
    balls.push_back(Ball(0, x, y, counter, 0, balls.back()));
  }
  segmentCount = length;
  tail = balls.back();
}

void TZorpSegment::Grow() {
  if (segmentCount >= MAX_BALLS) return;
  Ref<TZorpSegment> ball = Ball(0, tail->x, tail->y, tail->stepCounter, GROW_WAIT, tail);
  ball->dx = tail->dx;
  ball->dy = tail->dy;
  Segments().push_back(ball);
  tail = ball;
  ++segmentCount;
}

void TZorpSegment::Update() {
  Steer();
  --turnCountdown;
  for (const Ref<TZorpSegment>& ball : Segments()) {
    if (ball->wait > 0) {
      --ball->wait;
      continue;
    }
    ball->x += ball->dx;
    ball->y += ball->dy;
    if (--ball->stepCounter == 0) {
      ball->stepCounter = TICKS_PER_CELL;
      if (!ball->isHead) {
        ball->dx = ball->leader->dx;
        ball->dy = ball->leader->dy;
      }
    }
    if (ball->isHead && turnCountdown == 0) {
      const double nx = ball->x + requestDx, ny = ball->y + requestDy;
      if (nx < 0 || nx > MAX_X || ny < 0 || ny > MAX_Y) {
        KillZorp(1000);
      } else {
        ball->dx = requestDx;
        ball->dy = requestDy;
        direction = requestDirection;
        turnCountdown = TICKS_PER_CELL;
      }
    }
  }
  if (HitsItself()) KillZorp(1000);
}

int TZorpSegment::HitsItself() {
  int headX = 0, headY = 0;
  int skip = SAFE_BALLS;
  const Ref<TImage>& image = Game().images.zorp;
  for (const Ref<TZorpSegment>& ball : Segments()) {
    if (ball->isHead) {
      headX = static_cast<int>(ball->x);
      headY = static_cast<int>(ball->y);
    } else if (skip > 0) {
      --skip;
    } else if (std::abs(headX - ball->x) < CELL && std::abs(headY - ball->y) < CELL &&
               ImagesOverlap(image, static_cast<float>(headX), static_cast<float>(headY), 0, image,
                             static_cast<float>(static_cast<int>(ball->x)),
                             static_cast<float>(static_cast<int>(ball->y)), 1)) {
      return 1;
    }
  }
  return 0;
}

void TZorpSegment::Draw() {
  OccupancyGrid().Clear();
  const GameGlobals& g = Game();
  const std::vector<Ref<TZorpSegment>>& balls = Segments();
  // Tail first, so that the head is drawn last, on top.
  for (auto ball = balls.rbegin(); ball != balls.rend(); ++ball) {
    DrawImageFrame(g.images.zorp, static_cast<float>((*ball)->x), static_cast<float>((*ball)->y),
                   (*ball)->isHead);
    MarkCells(**ball);
  }
  if (balls.empty()) return;
  const TZorpSegment& head = *balls.front();
  int rotation = direction * 90;
  if (g.state != Playing) rotation = (rotation + 2 * (360 - g.deathCounter)) % 360;
  SetDrawRotation(static_cast<float>(rotation));
  DrawImageFrame(g.images.face, static_cast<float>(head.x + 12), static_cast<float>(head.y + 12),
                 0);
  SetDrawRotation(0);
}

void StartNewGame() {
  OccupancyGrid().Clear();
  Game().score = 0;
  TZorpSegment::startColumn = 15;
  TZorpSegment::startRow = 11;
  TZorpSegment::startLength = 9;
  TZorpSegment::Create(15, 11, 9);
  TZorpSegment::turnCountdown = TZorpSegment::TICKS_PER_CELL;
  TZorpSegment::requestDx = -TZorpSegment::SPEED;
  TZorpSegment::requestDy = 0;
  TZorpSegment::requestDirection = 3;
  TZorpSegment::direction = 3;
  NumberItem().Place(1);
  BonusStar().Reset(1);
}

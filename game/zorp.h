#pragma once
// The zorp: a chain of balls that crawls over the field, turns only on cell
// boundaries, cannot reverse, grows by one ball for each item eaten, and
// dies on a wall or its own body.

#include <vector>

#include "runtime/object.h"

class TZorpSegment : public Object {
 public:
  static constexpr double SPEED = 0.5;  // pixels per tick
  static constexpr int TICKS_PER_CELL = 48;
  static constexpr int GROW_WAIT = 16;  // ticks a new ball stands still
  static constexpr int MAX_BALLS = 1500;
  static constexpr int SAFE_BALLS = 4;  // behind the head, never tested
  static constexpr int MAX_X = 768, MAX_Y = 528;

  int isHead = 0;
  double x = 0, y = 0;
  double dx = 0, dy = 0;
  int spare = 0;
  int stepCounter = 0;
  int wait = 0;
  Ref<TZorpSegment> leader;

  // A new zorp of length balls, head on the cell moving left, the body in
  // a line to its right.
  static void Create(int column, int row, int length);
  static void Grow();
  // One logic tick: steering, movement, turns and deaths.
  static void Update();
  // Rebuilds the occupancy grid and draws the balls and the face.
  static void Draw();
  static int HitsItself();

  // The balls, head first.
  static std::vector<Ref<TZorpSegment>>& Segments();
  static int segmentCount;
  static Ref<TZorpSegment> tail;
  static int turnCountdown;
  static int startColumn, startRow, startLength;
  static double requestDx, requestDy;
  static int direction;  // 0 up, 1 right, 2 down, 3 left
  static int requestDirection;
};

// Resets the score and sets up the zorp and the items for a new game.
void StartNewGame();

#pragma once
// The two items on the field: the number, which counts down and must be eaten
// before it reaches 0, and the bonus star, which comes and goes. Each shows a
// popup of the points it earned when eaten.

// The popup of an eaten item: the tile spins, grows and fades while its
// points rise above it.
struct ItemPopup {
  int active = 0;
  float x = 0, y = 0;
  float textX = 0, textY = 0;
  int angle = 0;
  float scale = 1;
  float alpha = 1;
  int points = 0;

  // Starts at the centre of the cell, the points text kept within 2..790.
  void Start(int column, int row, int earned);
  void Animate();
  // frame of the objects image; the points text in yellow, or in the colour
  // in force.
  void Draw(int frame, bool yellowText) const;
};

class TNumberItem {
 public:
  static constexpr int TICKS_PER_DIGIT = 500;

  void Place(int resetPopup);
  void Update();
  void Draw() const;

  int column = 0, row = 0;
  int value = 0;
  int ticksLeft = 0;
  ItemPopup popup;
  int popupFrame = 0;
};

class TBonusStar {
 public:
  static constexpr int START_BONUS = 2000;
  // Draws of a free cell before the star gives up this appearance: a zorp
  // folded over the field may leave no cell off the number's row and column.
  static constexpr int MAX_PLACEMENT_DRAWS = 100000;
  static constexpr int LEAST_BONUS = 10;

  void Reset(int resetPopup);
  void Update();
  void Draw() const;

  int column = 0, row = 0;
  int delay = 0;
  int lifeLeft = 0;
  int bonus = 0;
  ItemPopup popup;
};

TNumberItem& NumberItem();
TBonusStar& BonusStar();

#pragma once
// Which cells of the field a zorp ball lies on, as last drawn. The items ask
// it whether they have been eaten.

#include "game/game_state.h"

class TOccupancyGrid {
 public:
  void Clear();
  // Outside the field a cell reads as empty and cannot be set.
  int Get(int column, int row) const;
  void Set(int column, int row, int value);

 private:
  int cells_[COLUMNS][ROWS] = {};
};

TOccupancyGrid& OccupancyGrid();

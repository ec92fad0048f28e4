#include "game/occupancy_grid.h"

#include <algorithm>

namespace {
bool Inside(int column, int row) {
  return column >= 0 && column < COLUMNS && row >= 0 && row < ROWS;
}
}  // namespace

void TOccupancyGrid::Clear() { std::fill(&cells_[0][0], &cells_[0][0] + COLUMNS * ROWS, 0); }

int TOccupancyGrid::Get(int column, int row) const {
  return Inside(column, row) ? cells_[column][row] : 0;
}

void TOccupancyGrid::Set(int column, int row, int value) {
  if (Inside(column, row)) cells_[column][row] = value;
}

TOccupancyGrid& OccupancyGrid() {
  static TOccupancyGrid grid;
  return grid;
}

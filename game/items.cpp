#include "game/items.h"

#include "game/bitmap_font.h"
#include "game/game_state.h"
#include "game/occupancy_grid.h"
#include "game/playing_sound.h"
#include "game/random.h"
#include "game/zorp.h"
#include "graphics/draw2d/draw_state.h"

namespace {

constexpr float TEXT_LEFT = 2, TEXT_RIGHT = 790;

float CellCentre(int cell) { return static_cast<float>(CELL * cell + CELL / 2); }

bool Eaten(int column, int row) { return OccupancyGrid().Get(column, row) == 1; }

}  // namespace

void ItemPopup::Start(int column, int row, int earned) {
  active = 1;
  points = earned;
  x = textX = CellCentre(column);
  y = textY = CellCentre(row);
  const int half = FontTextWidth(String::FromInt(earned)) / 2;
  if (textX - static_cast<float>(half) < TEXT_LEFT) {
    textX = static_cast<float>(half) + TEXT_LEFT;
  } else if (textX + static_cast<float>(half) > TEXT_RIGHT) {
    textX = TEXT_RIGHT - static_cast<float>(half);
  }
  angle = 0;
  scale = 1;
  alpha = 1;
}

void ItemPopup::Animate() {
  if (!active) return;
  angle += 3;
  scale += 0.02f;
  alpha -= 0.0083f;
  if (angle >= 360) active = 0;
}

void ItemPopup::Draw(int frame, bool yellowText) const {
  SetDrawTransform(static_cast<float>(angle), scale, scale);
  SetDrawAlpha(alpha);
  DrawImageFrame(Game().images.objects, x, y, frame);
  SetDrawTransform(0, 1, 1);
  SetDrawAlpha(0.8f);
  if (yellowText) SetDrawColor(255, 255, 0);
  DrawFontText(String::FromInt(points), static_cast<float>(static_cast<int>(textX)),
               static_cast<float>(static_cast<int>(textY - 12 * scale)), 1, 1);
  SetDrawAlpha(1);
  if (yellowText) SetDrawColor(255, 255, 255);
}

void TNumberItem::Place(int resetPopup) {
  if (resetPopup) popup.active = 0;
  do {
    column = RandomInt(0, COLUMNS - 1);
    row = RandomInt(0, ROWS - 1);
  } while (OccupancyGrid().Get(column, row) != 0);
  value = RandomInt(6, 9);
  ticksLeft = TICKS_PER_DIGIT;
}

void TNumberItem::Update() {
  popup.Animate();
  if (Eaten(column, row)) {
    const int base = value * value * 10;
    const int points = base + base / 100 * ticksLeft;
    Game().score += points;
    popup.Start(column, row, points);
    popupFrame = value;
    Place(0);
    TZorpSegment::Grow();
    TPlayingSound::Play(Game().sounds.number, 0.5f, 0);
    return;
  }
  if (--ticksLeft != 0) return;
  if (--value == 0) {
    KillZorp(360);
  } else {
    ticksLeft = TICKS_PER_DIGIT;
  }
}

void TNumberItem::Draw() const {
  if (value != 0) DrawImageFrame(Game().images.objects, CellCentre(column), CellCentre(row), value);
  if (popup.active) popup.Draw(popupFrame, true);
}

void TBonusStar::Reset(int resetPopup) {
  if (resetPopup) popup.active = 0;
  delay = 750 * RandomInt(10, 1);
}

void TBonusStar::Update() {
  popup.Animate();
  if (delay != 0) {
    if (--delay != 0) return;
    const TNumberItem& number = NumberItem();
    int draws = 0;
    do {
      if (++draws > MAX_PLACEMENT_DRAWS) {
        Reset(0);
        return;
      }
      column = RandomInt(0, COLUMNS - 1);
      row = RandomInt(0, ROWS - 1);
    } while (OccupancyGrid().Get(column, row) != 0 || column == number.column || row == number.row);
    lifeLeft = 500 * RandomInt(5, 10);
    bonus = START_BONUS;
    return;
  }
  if (Eaten(column, row)) {
    const int points = 10 * bonus;
    Game().score += points;
    popup.Start(column, row, points);
    Reset(0);
    TZorpSegment::Grow();
    TPlayingSound::Play(Game().sounds.bonus, 0.8f, 0);
    return;
  }
  --lifeLeft;
  if (bonus > LEAST_BONUS) --bonus;
  if (lifeLeft == 0) Reset(0);
}

void TBonusStar::Draw() const {
  if (delay == 0) DrawImageFrame(Game().images.objects, CellCentre(column), CellCentre(row), 0);
  if (popup.active) popup.Draw(0, false);
}

TNumberItem& NumberItem() {
  static TNumberItem number;
  return number;
}

TBonusStar& BonusStar() {
  static TBonusStar star;
  return star;
}

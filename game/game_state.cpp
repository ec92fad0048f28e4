#include "game/game_state.h"

#include "game/playing_sound.h"

namespace {
GameGlobals globals;
}

GameGlobals& Game() { return globals; }

void ResetGame() { globals = GameGlobals(); }

void KillZorp(int ticks) {
  GameGlobals& g = Game();
  g.state = Dying;
  g.deathCounter = ticks;
  TPlayingSound::Play(g.sounds.death, 0.4f, 0);
}

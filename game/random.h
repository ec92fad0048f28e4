#pragma once
// The game's one pseudo-random generator: Park and Miller's minimal standard
// generator with multiplier 48271 and modulus 2^31 - 1, stepped with
// Schrage's method so that 32-bit arithmetic never overflows.
// Not thread-safe; only the game thread draws.

// Sets the state from the seed's low 31 bits; 0 and 2^31 - 1, which would
// stall the generator, give the default state 4660 instead.
void SeedRandom(int seed);
// The current state.
int RandomSeed();
// Uniform in [0, 1), from one step.
float RandomFloat();
// Uniform in [0, 1), from two steps.
double RandomDouble();
// Uniform between the two bounds, given in either order.
double RandomBetween(double a, double b);
// Uniform integer between the two bounds inclusive, given in either order.
int RandomInt(int a, int b);

// A seed chosen for the whole run (zorp --seed), so that a game can be
// played again exactly; without one the game seeds from the clock.
void ChooseRandomSeed(int seed);
// The chosen seed, or fallback when none was chosen.
int ChosenRandomSeed(int fallback);

// Pseudo-random numbers: a linear congruential generator with one state per thread, seeded
// from the millisecond tick count plus a process-wide counter.
#pragma once

#include <cstdint>

#include "runtime/clock.h"  // kept for runtime/files.cpp until its include moves to clock.h
#include "runtime/text.h"

// seed := tick + counter; counter += (seed AND 255) + 100; state := seed.
void SeedRandom();
void SeedRandom(std::uint32_t seed);
// Next output: state := state * 214013 + 2531011 (mod 2^32); bits 16..30 of the new state.
int NextRandom();
// min + output mod (max - min + 1).
int RandomInt(int min, int max);
// count letters; kind 1 (default) a-z, 2 A-Z, 3 each letter upper or lower by a draw of 1..2;
// any other kind gives "". Seeds the generator first (SeedRandom()).
Text MakeRandomLetters(int count, int kind = 1);

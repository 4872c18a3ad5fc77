// The linear congruential generator: one state per thread, one seeding counter per process.
#include "runtime/random.h"

#include <atomic>
#include <utility>

#include "runtime/clock.h"

namespace {

thread_local std::uint32_t state = 0;
std::atomic<std::uint32_t> seedCounter{0};

}  // namespace

void SeedRandom() {
  // Read and advance the counter in one step, so two threads never take the same seed.
  std::uint32_t counter = seedCounter.load();
  std::uint32_t seed = 0;
  do {
    seed = TickCount() + counter;
  } while (!seedCounter.compare_exchange_weak(counter, counter + (seed & 255u) + 100u));
  state = seed;
}

void SeedRandom(std::uint32_t seed) { state = seed; }

int NextRandom() {
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFFu);
}

int RandomInt(int min, int max) {
  if (max < min) std::swap(min, max);
  long long span = static_cast<long long>(max) - min + 1;
  return static_cast<int>(min + NextRandom() % span);
}

Text MakeRandomLetters(int count, int kind) {
  Text letters;
  SeedRandom();
  if (kind < 1 || kind > 3) return letters;
  for (int i = 0; i < count; ++i) {
    int code = 0;
    if (kind == 1) code = RandomInt(97, 122);
    else if (kind == 2) code = RandomInt(65, 90);
    else code = RandomInt(1, 2) == 1 ? RandomInt(65, 90) : RandomInt(97, 122);
    letters.push_back(static_cast<char>(code));
  }
  return letters;
}

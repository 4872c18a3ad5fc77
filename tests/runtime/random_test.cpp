// The per-thread linear congruential generator and the letters drawn from it.
#include "runtime/random.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <thread>

namespace {

TEST(Random, KnownSequenceFromAFixedSeed) {
  SeedRandom(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
  for (int value : expected) EXPECT_EQ(NextRandom(), value);
  SeedRandom(0x12345678u);
  // state * 214013 + 2531011 mod 2^32, bits 16..30 of the new state
  const std::uint32_t next = 0x12345678u * 214013u + 2531011u;
  EXPECT_EQ(NextRandom(), static_cast<int>((next >> 16) & 0x7FFF));
}

TEST(Random, RandomIntIsMinPlusOutputModRange) {
  SeedRandom(1);
  EXPECT_EQ(RandomInt(12, 9999), 12 + 41 % 9988);
  EXPECT_EQ(RandomInt(51, 190), 51 + 18467 % 140);
  EXPECT_EQ(RandomInt(5, 5), 5);
  SeedRandom(99);
  for (int i = 0; i < 2000; ++i) {
    const int v = RandomInt(-3, 3);
    EXPECT_GE(v, -3);
    EXPECT_LE(v, 3);
  }
}

TEST(Random, BadRangesStayInsideTheirBounds) {
  SeedRandom(7);
  for (int i = 0; i < 200; ++i) {
    const int swapped = RandomInt(10, 1);  // bounds given the wrong way round
    EXPECT_GE(swapped, 1);
    EXPECT_LE(swapped, 10);
    const int wide = RandomInt(INT_MIN, INT_MAX);  // the span does not overflow
    EXPECT_GE(wide, INT_MIN);
  }
}

TEST(Random, StateBelongsToTheThread) {
  SeedRandom(1);
  int other = 0;
  std::thread([&] {
    SeedRandom(1);
    NextRandom();
    other = NextRandom();
  }).join();
  EXPECT_EQ(other, 18467);
  EXPECT_EQ(NextRandom(), 41);  // untouched by the other thread
}

bool AllIn(const Text& text, char low, char high) {
  for (char c : text) {
    if (c < low || c > high) return false;
  }
  return true;
}

TEST(MakeRandomLetters, KindsAndCounts) {
  const Text lower = MakeRandomLetters(200);
  EXPECT_EQ(lower.size(), 200u);
  EXPECT_TRUE(AllIn(lower, 'a', 'z')) << lower;
  EXPECT_TRUE(AllIn(MakeRandomLetters(200, 1), 'a', 'z'));
  const Text upper = MakeRandomLetters(200, 2);
  EXPECT_EQ(upper.size(), 200u);
  EXPECT_TRUE(AllIn(upper, 'A', 'Z')) << upper;

  const Text mixed = MakeRandomLetters(200, 3);
  ASSERT_EQ(mixed.size(), 200u);
  bool sawLower = false, sawUpper = false;
  for (char c : mixed) {
    ASSERT_TRUE((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) << mixed;
    sawLower |= c >= 'a';
    sawUpper |= c <= 'Z';
  }
  EXPECT_TRUE(sawLower && sawUpper) << mixed;

  for (int kind : {0, 4, -1}) EXPECT_EQ(MakeRandomLetters(15, kind), "") << kind;
  EXPECT_EQ(MakeRandomLetters(0, 3), "");
  EXPECT_EQ(MakeRandomLetters(-5, 1), "");
}

TEST(MakeRandomLetters, QuickSuccessiveIdsDifferThroughTheCounter) {
  std::set<Text> ids;
  for (int i = 0; i < 100; ++i) ids.insert(MakeRandomLetters(15, 3));
  EXPECT_EQ(ids.size(), 100u);
}

TEST(TickCount, NeverRunsBackwards) {
  const std::uint32_t first = TickCount();
  const std::uint32_t second = TickCount();
  EXPECT_LE(static_cast<std::uint32_t>(second - first), 60000u);
}

}  // namespace

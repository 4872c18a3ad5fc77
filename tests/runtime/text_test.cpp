// Text operations: GBK-aware search, replace and split, cutting, case folding, conversions.
#include "runtime/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gbk_samples.h"

namespace {

struct FindCase {
  Text text;
  Text sought;
  int start;
  bool ignoreCase;
  int expected;
};

TEST(FindText, FindsByTheRules) {
  const FindCase cases[] = {
      {"abcabc", "bc", 1, false, 2},
      {"abcabc", "bc", 3, false, 5},
      {"abcabc", "bc", 0, false, 2},            // a start below 1 counts as 1
      {"abcabc", "bc", -7, false, 2},
      {"abc", "c", 4, false, -1},               // start past the end
      {"abc", "d", 1, false, -1},
      {"abc", "abcd", 1, false, -1},
      {"ABC", "b", 1, true, 2},
      {"ABC", "b", 1, false, -1},
      {"abc", "", 1, false, 1},                 // empty sought text found at the start
      {"abc", "", 3, false, 3},
      {"abc", "", 4, false, -1},
      {"", "", 1, false, -1},
      {"", "a", 1, false, -1},
      {"中文", "文", 1, false, 3},
      {"中文中", "中", 2, false, 5},             // start on a second byte: the next character
      {kBackslashTrail + "\\", "\\", 1, false, 3},  // the "\" inside the character never matches
      {kBackslashTrail, "\\", 1, false, -1},
      {kBackslashTrail, "\\", 2, false, -1},
      {"a" + kBarTrail + "|", "|", 1, false, 4},
      {kUpperATrail, "A", 1, false, -1},
      {kUpperATrail, "a", 1, true, -1},
      {kUpperATrail, kLowerATrail, 1, true, -1},  // second bytes never fold
      {"x" + kUpperATrail, kUpperATrail, 1, true, 2},
      {"Hello 世界 World", "WORLD", 1, true, 12},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindText(c.text, c.sought, c.start, c.ignoreCase), c.expected)
        << "text '" << c.text << "' sought '" << c.sought << "' start " << c.start;
  }
}

TEST(FindTextReverse, FindsTheLastWholeCharacterMatch) {
  const struct {
    Text text, sought;
    int expected;
  } cases[] = {
      {"a\\b\\c", "\\", 4},
      {"abc", "x", -1},
      {"abc", "", -1},
      {"", "a", -1},
      {"aaa", "aa", 2},
      {"\\" + kBackslashTrail, "\\", 1},          // the trailing "\" is a second byte
      {"\\DATA\\" + kBackslashTrail + ".txt", "\\", 6},
      {"a|" + kBarTrail, "|", 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindTextReverse(c.text, c.sought), c.expected) << c.text;
  }
}

TEST(SubstituteText, ReplacesWholeCharacterMatchesOnly) {
  const struct {
    Text text, find, replacement, expected;
  } cases[] = {
      {"a\\b\\c", "\\", "/", "a/b/c"},
      {"aaaa", "aa", "b", "bb"},
      {"aaa", "aa", "b", "ba"},
      {"abc", "", "x", "abc"},
      {"", "a", "b", ""},
      {"abc", "b", "", "ac"},
      {"a%b", "%", "%%", "a%%b"},
      {kBackslashTrail + "\\x", "\\", "/", kBackslashTrail + "/x"},
      {kBarTrail + "|", "|", ",", kBarTrail + ","},
      {"它的'值'", "'", "''", "它的''值''"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SubstituteText(c.text, c.find, c.replacement), c.expected) << c.text;
  }
}

TEST(SplitText, FollowsTheFieldRule) {
  const struct {
    Text text, delimiter;
    std::vector<Text> expected;
  } cases[] = {
      {"", "|", {}},
      {"abc", "|", {"abc"}},
      {"a|b", "|", {"a", "b"}},
      {"a||b", "|", {"a", "", "b"}},
      {"|a", "|", {"", "a"}},
      {"a|", "|", {"a"}},                      // an empty rest is no piece
      {"a|b|", "|", {"a", "b"}},
      {"|", "|", {""}},
      {"a</br>b</br>", "</br>", {"a", "b"}},
      {"abc", "", {"abc"}},
      {"0.52|" + kBarTrail + "|" + "真", "|", {"0.52", kBarTrail, "真"}},
      {kBarTrail, "|", {kBarTrail}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitText(c.text, c.delimiter), c.expected) << c.text;
  }
}

TEST(TextCutting, CountsBytes) {
  EXPECT_EQ(TextLeft("abcdef", 2), "ab");
  EXPECT_EQ(TextLeft("abc", 10), "abc");
  EXPECT_EQ(TextLeft("abc", 0), "");
  EXPECT_EQ(TextLeft("abc", -1), "");
  EXPECT_EQ(TextLeft("中文", 1), "\xD6");  // may split a character

  EXPECT_EQ(TextRight("abcdef", 2), "ef");
  EXPECT_EQ(TextRight("abc", 4), "abc");
  EXPECT_EQ(TextRight("abc", 0), "");
  EXPECT_EQ(TextRight("abc", -3), "");

  const struct {
    int start, count;
    Text expected;
  } middle[] = {{1, 2, "ab"}, {2, 10, "bcdef"}, {6, 1, "f"}, {7, 1, ""},
                {0, 2, ""},   {-1, 2, ""},      {2, 0, ""},  {2, -1, ""}};
  for (const auto& c : middle) {
    EXPECT_EQ(TextMiddle("abcdef", c.start, c.count), c.expected) << c.start << "," << c.count;
  }
}

TEST(CaseFolding, AsciiLettersOnlyAndCharactersStayWhole) {
  EXPECT_EQ(ToLower("AbC-Z[@"), "abc-z[@");
  EXPECT_EQ(ToUpper("aBc-z{`"), "ABC-Z{`");
  EXPECT_EQ(ToLower(kUpperATrail + "A"), kUpperATrail + "a");
  EXPECT_EQ(ToUpper(kLowerATrail + "a"), kLowerATrail + "A");
  EXPECT_EQ(ToLower(""), "");
}

TEST(ToTextConversions, BytesIntegersAndDoubles) {
  EXPECT_EQ(ToText(Bytes{'a', 'b', 0, 'c'}), "ab");
  EXPECT_EQ(ToText(Bytes{}), "");
  EXPECT_EQ(ToText(Bytes{'x', 'y'}), "xy");
  EXPECT_EQ(ToText(-42), "-42");
  EXPECT_EQ(ToText(0), "0");
  EXPECT_EQ(ToText(9007199254740993LL), "9007199254740993");

  const struct {
    double value;
    Text expected;
  } doubles[] = {{0.52, "0.52"},   {1.0, "1"},           {0.0, "0"},
                 {-2.5, "-2.5"},   {1.0 / 3, "0.3333333333333"}, {1e20, "1e+20"},
                 {123456789012345.0, "1.234567890123e+14"}, {0.0001, "0.0001"},
                 {0.00001, "1e-05"}};
  for (const auto& c : doubles) EXPECT_EQ(ToText(c.value), c.expected) << c.value;
  EXPECT_EQ(ToByteSet("a中"), (Bytes{'a', 0xD6, 0xD0}));
  EXPECT_TRUE(ToByteSet("").empty());
}

TEST(ToInt, ReadsTheLeadingInteger) {
  const struct {
    Text text;
    int expected;
  } cases[] = {{"42", 42},          {"  -17abc", -17}, {"+8", 8},        {"abc", 0},
               {"", 0},             {"-", 0},          {"3.9", 3},       {"\t\n 5", 5},
               {"99999999999", 2147483647},            {"-99999999999", -2147483647 - 1},
               {"１２", 0}};
  for (const auto& c : cases) EXPECT_EQ(ToInt(c.text), c.expected) << c.text;
}

TEST(ToDouble, ReadsTheLeadingNumberAfterFullWidthForms) {
  const struct {
    Text text;
    double expected;
  } cases[] = {
      {"0.52", 0.52},         {"  1.5e3xyz", 1500.0}, {"-.5", -0.5},      {"+7.", 7.0},
      {"abc", 0.0},           {"", 0.0},              {".", 0.0},         {"-", 0.0},
      {"1e", 1.0},            {"1e+", 1.0},           {"2E-2", 0.02},     {"12|34", 12.0},
      {"0x10", 0.0},          {"inf", 0.0},           {"nan", 0.0},
      {"０．５２", 0.52},      // full-width digits and point
      {"－３", -3.0},          // full-width minus
      {"＋１", 1.0},
      {"\xA1\xA1" "4", 4.0},  // ideographic space is skipped like a blank
      {"1,5", 1.0},           // never a locale's decimal comma
      {"1e999", HUGE_VAL},    {"-1e999", -HUGE_VAL}, {"1e-999", 0.0},
  };
  for (const auto& c : cases) EXPECT_EQ(ToDouble(c.text), c.expected) << c.text;
}

TEST(ToFloat, IsTheNearestSinglePrecisionNumber) {
  EXPECT_EQ(ToFloat("0.51"), 0.51f);
  EXPECT_EQ(ToFloat("０．５１"), 0.51f);
  EXPECT_EQ(ToFloat("xyz"), 0.0f);
  EXPECT_EQ(ToFloat("1e50"), std::numeric_limits<float>::infinity());
  EXPECT_GT(static_cast<double>(ToFloat("0.52")), static_cast<double>(ToFloat("0.51")));
}

TEST(CharFromCode, TakesTheLowByte) {
  EXPECT_EQ(CharFromCode('A'), "A");
  EXPECT_EQ(CharFromCode(0x141), "A");
  EXPECT_EQ(CharFromCode(0), "");
  EXPECT_EQ(CharFromCode(256), "");
  EXPECT_EQ(CharFromCode(0xD6), "\xD6");
}

TEST(SqlEscape, DoublesApostrophesOnly) {
  const struct {
    Text value, expected;
  } cases[] = {{"abc", "abc"}, {"O'Neil", "O''Neil"}, {"''", "''''"}, {"", ""},
               {"100%", "100%"}, {"名'称", "名''称"}, {"a\\'b", "a\\''b"}};
  for (const auto& c : cases) EXPECT_EQ(SqlEscape(c.value), c.expected) << c.value;
}

}  // namespace

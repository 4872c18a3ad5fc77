// GBK <-> UTF-8 <-> UTF-16LE conversion, including what cannot be converted.
#include "runtime/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include "gbk_samples.h"

namespace {

Bytes B(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

TEST(Codepage, GbkAndUtf8RoundTrip) {
  const Text samples[] = {"", "plain ascii", "中文路径", "混合 mixed 文本", kBackslashTrail, kBarTrail,
                          "\xA3\xB0"};
  for (const Text& gbk : samples) {
    EXPECT_EQ(ConvertUtf8ToGbk(ConvertGbkToUtf8(gbk)), gbk) << gbk;
  }
  EXPECT_EQ(ConvertGbkToUtf8("中"), Utf8(u8"中"));
  EXPECT_EQ(ConvertUtf8ToGbk(Utf8(u8"中")), "\xD6\xD0");
}

TEST(Codepage, Utf8ToUtf16AndOnToGbk) {
  EXPECT_EQ(ConvertUtf8ToUtf16(B({'A', 0xE4, 0xB8, 0xAD})), B({'A', 0, 0x2D, 0x4E}));
  EXPECT_EQ(ConvertUtf8ToUtf16(B({0xF0, 0x9F, 0x98, 0x80})), B({0x3D, 0xD8, 0x00, 0xDE}));  // a pair
  EXPECT_TRUE(ConvertUtf8ToUtf16(Bytes()).empty());
  EXPECT_EQ(ConvertUtf16ToGbk(B({'A', 0, 0x2D, 0x4E})), "A中");
  EXPECT_EQ(ConvertUtf16ToGbk(Bytes()), "");
}

TEST(Codepage, WhatGbkCannotHoldBecomesAQuestionMark) {
  EXPECT_EQ(ConvertUtf8ToGbk(Utf8(u8"a\U0001F600b")), "a?b");          // outside GBK, four UTF-8 bytes
  EXPECT_EQ(ConvertUtf8ToGbk(Utf8(u8"\u1234")), "?");               // Ethiopic, three bytes
  EXPECT_EQ(ConvertUtf16ToGbk(B({0x3D, 0xD8, 0x00, 0xDE, 'x', 0})), "?x");
}

TEST(Codepage, InvalidInputIsReplacedNeverFatal) {
  EXPECT_EQ(ConvertUtf8ToGbk(std::string("a\xFF" "b")), "a?b");
  EXPECT_EQ(ConvertUtf8ToGbk(std::string("a\xE4\xB8")), "a?");      // cut-off sequence
  EXPECT_EQ(ConvertUtf8ToGbk(std::string("\xC0\xAF")), "??");        // overlong form
  EXPECT_EQ(ConvertGbkToUtf8(std::string("a\xFF" "b")), Utf8(u8"a\uFFFDb"));
  EXPECT_EQ(ConvertGbkToUtf8(std::string("a\xD6")), Utf8(u8"a\uFFFD"));   // lead byte at the end
  EXPECT_EQ(ConvertUtf8ToUtf16(B({0xFF, 'a'})), B({0xFD, 0xFF, 'a', 0}));
  EXPECT_EQ(ConvertUtf16ToGbk(B({0x00, 0xD8, 'a', 0})), "?a");       // lone surrogate
}

// The toolkit's strings get the same characters as through UTF-8, replacements included. GBK
// holds characters of the basic plane only, so each is one UTF-16 unit.
TEST(Codepage, GbkToWideMatchesGbkToUtf8) {
  const Text samples[] = {"", "plain ascii", "中文路径", "混合 mixed 文本", kBackslashTrail, kBarTrail,
                          "\xA3\xB0", std::string("a\xFF" "b"), std::string("a\xD6"), std::string(300, 'x'),
                          "x\xA1\x40中",  // a code the converter has no character for
                          "中中中文文文路路路径径径"};  // the codes it has learnt, again
  for (const Text& gbk : samples) {
    const std::string utf8 = ConvertGbkToUtf8(gbk);
    const Bytes utf16 = ConvertUtf8ToUtf16(Bytes(utf8.begin(), utf8.end()));
    std::wstring expected;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) expected.push_back(utf16[i] | (utf16[i + 1] << 8));
    EXPECT_EQ(ConvertGbkToWide(gbk), expected) << gbk;
  }
  EXPECT_EQ(ConvertGbkToWide("a中"), L"a\u4E2D");
  EXPECT_EQ(ConvertGbkToWide(std::string("a\xD6")), L"a\uFFFD");  // lead byte at the end
}

TEST(Codepage, Utf16StopsAtNulAndIgnoresAnOddByte) {
  EXPECT_EQ(ConvertUtf16ToGbk(B({'a', 0, 0, 0, 'b', 0})), "a");
  EXPECT_EQ(ConvertUtf16ToGbk(B({'a', 0, 'b'})), "a");
  EXPECT_EQ(ConvertUtf8ToGbk(std::string("a\0b", 3)), "a");
}

// Every two-byte code, alone and in a text, converts as the system's converter converts it;
// codes it has no character for give the replacement character.
TEST(Codepage, GbkToUtf8OfEveryCodeIsTheConverters) {
  iconv_t cd = iconv_open("UTF-8", "CP936");
  ASSERT_NE(cd, (iconv_t)-1);
  int checked = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
      char out[16];
      char* in = pair;
      char* to = out;
      std::size_t inLeft = 2, outLeft = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      const bool converted = iconv(cd, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1);
      const std::string one = ConvertGbkToUtf8(Text(pair, 2));
      if (converted) {
        const std::string expected(out, sizeof out - outLeft);
        ASSERT_EQ(one, expected) << lead << " " << trail;
        ASSERT_EQ(ConvertGbkToUtf8("a" + Text(pair, 2) + "b"), "a" + expected + "b");
        ++checked;
      } else {
        ASSERT_NE(one.find("\xEF\xBF\xBD"), std::string::npos) << lead << " " << trail;
      }
    }
  }
  iconv_close(cd);
  EXPECT_GT(checked, 20000);
}

}  // namespace

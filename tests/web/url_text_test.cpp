// URL parts, text between markers and the page decoding.
#include <gtest/gtest.h>

#include "web/url_text.h"

namespace {

struct HostCase {
  const char* url;
  const char* host;
  const char* hostWithPort;
  int port;
  const char* path;
};

const HostCase kHostCases[] = {
    {"http://WWW.Example.COM:8080/a/b?q=1#f", "www.example.com", "www.example.com:8080", 8080, "/a/b?q=1#f"},
    {"www.example.com/path", "www.example.com", "www.example.com", 80, "/path"},           // no "http://"
    {"https://secure.example.com/x", "https", "https:", 0, "//secure.example.com/x"},     // https: the scheme
    {"HTTP://Example.com/x", "http", "http:", 0, "//Example.com/x"},                       // capitals
    {"go?to=http://inner.example/p", "inner.example", "inner.example", 80, "/p"},          // later in the text
    {"http://host?q#f/rest", "host?q#f", "host?q#f", 80, "/rest"},                         // only "/" ends the host
    {"http://", "", "", 80, "//"},                                                // the empty host is found at 1
    {"  blank.example/p", "  blank.example", "  blank.example", 80, "/p"},                 // nothing trimmed
    {"http://tail.example  ", "tail.example  ", "tail.example  ", 80, "/"},
    {"http://example.com", "example.com", "example.com", 80, "/"},
    {"http://example.com:/p", "example.com", "example.com:", 0, "/p"},                     // ":" then "/"
    {"http://example.com:abc/p", "example.com", "example.com:abc", 0, "/p"},               // letters
    {"http://example.com:81", "example.com", "example.com:81", 81, "/"},
    {"", "", "", 80, "/"},
};

TEST(UrlParts, HostPortAndPath) {
  for (const HostCase& c : kHostCases) {
    EXPECT_EQ(GetUrlHost(c.url), c.host) << c.url;
    EXPECT_EQ(GetUrlHost(c.url, true), c.hostWithPort) << c.url;
    EXPECT_EQ(GetUrlPort(c.url), c.port) << c.url;
    EXPECT_EQ(GetUrlPath(c.url), c.path) << c.url;
  }
}

TEST(UrlParts, GbkHostIsLowerCasedByAsciiOnly) {
  // "中" is D6 D0; a second byte that looks like a letter is not folded.
  EXPECT_EQ(GetUrlHost("http://A\xD6\xD0Z/"), "a\xD6\xD0z");
  EXPECT_EQ(GetUrlHost("http://\x81\x41.B/"), "\x81\x41.b");
}

struct BetweenCase {
  const char* text;
  const char* left;
  const char* right;
  const char* between;
};

const BetweenCase kBetweenCases[] = {
    {"a <B>bold</b> c", "<b>", "</B>", "bold"},      // markers in either case
    {"no marker here", "<b>", "</b>", ""},
    {"<b>no end", "<b>", "</b>", ""},
    {"xx", "x", "x", ""},                             // right found inside left: nothing
    {"abab", "ab", "ba", ""},                         // right begins inside left, occurs again later
    {"[one][two]", "[", "]", "one"},                  // the first pair
    {"nid : '42',", "nid : '", "',", "42"},
};

TEST(TextBetween, IgnoresAsciiCase) {
  for (const BetweenCase& c : kBetweenCases) {
    EXPECT_EQ(GetTextBetween(c.text, c.left, c.right), c.between) << c.text;
  }
}

TEST(TextBetween, SkipCountAndStartPosition) {
  EXPECT_EQ(GetTextBetween("[a][b][c]", "[", "]", 1), "b");
  EXPECT_EQ(GetTextBetween("[a][b][c]", "[", "]", 0, 4), "b");
  EXPECT_EQ(GetTextBetween("[a][b][c]", "[", "]", 3), "");
  EXPECT_EQ(GetTextBetween("[a][b][c]", "[", "]", 4), "a");  // a skip past the last starts over
}

const BetweenCase kBetweenExCases[] = {
    {"Set-Cookie: a=1; path=/", "=", ";", "1"},
    {"Set-Cookie: d=4", "=", ";", ""},                   // no ";" after the value
    {"Set-Cookie: a=1; path=/", "Set-Cookie:", ";", " a=1"},
    {"Set-Cookie: a=1; path=/", "", ";", "Set-Cookie: a=1"},
    {"Set-Cookie: a=1; path=/", "path", "", "=/"},
    {"whole", "", "", "whole"},
    {"", "", "", ""},
    {"A=1;", "a", ";", ""},                              // case-sensitive
    {"x=;", "=", ";", ""},                               // right directly after left
    {"abc", "z", "", ""},
    {"abc", "", "z", ""},
};

TEST(TextBetweenEx, CaseSensitiveWithOpenEnds) {
  for (const BetweenCase& c : kBetweenExCases) {
    EXPECT_EQ(GetTextBetweenEx(c.text, c.left, c.right), c.between) << c.text << " | " << c.left << " | " << c.right;
  }
}

struct DecodeCase {
  const char* encoded;
  const char* gbk;
};

const DecodeCase kDecodeCases[] = {
    {"%E4%B8%AD", "\xD6\xD0"},                // 中, upper-case digits
    {"%e4%b8%ad", "\xD6\xD0"},                // lower-case digits
    {"a+b", "a+b"},                           // "+" stays
    {"a%00b", "ab"},                          // a decoded 0 adds nothing
    {"nid : '%31%32',", "nid : '12',"},
    {"100%", "100%"},                         // a "%" at the end is kept
    {"5%zz!", "5%zz!"},                       // not two hex digits: kept
    {"%F0%9F%98%80", "?"},                    // outside GBK
    {"", ""},
};

TEST(UrlDecode, PercentEscapesAsUtf8) {
  for (const DecodeCase& c : kDecodeCases) {
    EXPECT_EQ(UrlDecodeToGbk(c.encoded), c.gbk) << c.encoded;
  }
}

TEST(Conversions, EmptyInputsGiveEmptyResults) {
  EXPECT_TRUE(Utf8ToUtf16({}).empty());
  EXPECT_EQ(Utf16ToGbk({}), "");
  EXPECT_EQ(Utf8ToGbk({}), "");
  EXPECT_EQ(Utf8ToGbk({0xE4, 0xB8, 0xAD}), "\xD6\xD0");
  EXPECT_EQ(Utf8ToUtf16({0xE4, 0xB8, 0xAD}), (Bytes{0x2D, 0x4E}));
  EXPECT_EQ(Utf16ToGbk({0x2D, 0x4E, 0x00, 0x00, 0x41, 0x00}), "\xD6\xD0");  // up to the NUL
}

}  // namespace

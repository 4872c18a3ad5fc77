// The two packets between the HTTP front end and its worker, byte for byte.
#include <gtest/gtest.h>

#include "web/http_request.h"

namespace {

Bytes Joined(const std::vector<Bytes>& pieces) {
  Bytes all;
  for (const Bytes& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
  return all;
}

TEST(RequestPacket, TwentyPiecesLittleEndian) {
  HttpRequestPacket p;
  p.url = "http://h/";
  p.method = "POST";
  p.formData = "a=1";
  p.cookies = "c";
  p.wantCookies = true;
  p.proxy = "";
  p.extraHeaders = "X: y\r\n";
  p.user = "u";
  p.password = "pw";
  p.wantHeaders = false;
  p.storeCookies = true;
  std::vector<Bytes> pieces = HttpRequestPacketPieces(p);
  EXPECT_EQ(pieces.size(), 20u);
  const Bytes expected = {1, 0, 0, 0,
                          9, 0, 0, 0, 'h', 't', 't', 'p', ':', '/', '/', 'h', '/',
                          4, 0, 0, 0, 'P', 'O', 'S', 'T',
                          3, 0, 0, 0, 'a', '=', '1',
                          1, 0, 0, 0, 'c',
                          1, 0, 0, 0,
                          0, 0, 0, 0,
                          6, 0, 0, 0, 'X', ':', ' ', 'y', '\r', '\n',
                          1, 0, 0, 0, 'u',
                          2, 0, 0, 0, 'p', 'w',
                          0, 0, 0, 0,
                          1, 0, 0, 0};
  EXPECT_EQ(Joined(pieces), expected);
  std::optional<HttpRequestPacket> back = ParseHttpRequestPacket(expected);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->url, p.url);
  EXPECT_EQ(back->method, p.method);
  EXPECT_EQ(back->formData, p.formData);
  EXPECT_EQ(back->cookies, p.cookies);
  EXPECT_TRUE(back->wantCookies);
  EXPECT_EQ(back->extraHeaders, p.extraHeaders);
  EXPECT_EQ(back->user, p.user);
  EXPECT_EQ(back->password, p.password);
  EXPECT_FALSE(back->wantHeaders);
  EXPECT_TRUE(back->storeCookies);
}

TEST(RequestPacket, MarkerZeroOrCutShortIsNoPacket) {
  Bytes whole = Joined(HttpRequestPacketPieces(HttpRequestPacket{.url = "http://h/"}));
  Bytes markerZero = whole;
  markerZero[0] = 0;
  EXPECT_FALSE(ParseHttpRequestPacket(markerZero));
  EXPECT_FALSE(ParseHttpRequestPacket(Bytes(whole.begin(), whole.end() - 1)));
  EXPECT_FALSE(ParseHttpRequestPacket({}));
  Bytes hugeLength = whole;
  hugeLength[4] = 0xFF, hugeLength[7] = 0xFF;  // a length past the end
  EXPECT_FALSE(ParseHttpRequestPacket(hugeLength));
}

TEST(ResultPacket, TenFieldsLittleEndian) {
  HttpResultPacket p;
  p.success = true;
  p.rawHeaders = "HTTP/1.1 200 OK\r\n\r\n";
  p.cookies = "a=1";
  p.body = {'x', 0, 'y'};
  p.request = 0x01020304;
  p.connection = 7;
  p.internet = 0xFFFFFFFE;
  Bytes bytes = Joined(HttpResultPacketPieces(p));
  Bytes expected = {1, 0, 0, 0, 19, 0, 0, 0};
  expected.insert(expected.end(), p.rawHeaders.begin(), p.rawHeaders.end());
  for (std::uint8_t b : Bytes{3, 0, 0, 0, 'a', '=', '1', 3, 0, 0, 0, 'x', 0, 'y', 4, 3, 2, 1, 7, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}) {
    expected.push_back(b);
  }
  EXPECT_EQ(bytes, expected);
  std::optional<HttpResultPacket> back = ParseHttpResultPacket(bytes);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->success);
  EXPECT_EQ(back->rawHeaders, p.rawHeaders);
  EXPECT_EQ(back->cookies, p.cookies);
  EXPECT_EQ(back->body, p.body);
  EXPECT_EQ(back->request, p.request);
  EXPECT_EQ(back->connection, p.connection);
  EXPECT_EQ(back->internet, p.internet);
}

TEST(ResultPacket, ProvisionalReplyHoldsOnlyTheHandles) {
  HttpResultPacket provisional;
  provisional.request = 3, provisional.connection = 2, provisional.internet = 1;
  Bytes expected = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(Joined(HttpResultPacketPieces(provisional)), expected);
  Bytes longer = expected;
  longer.push_back(0);
  EXPECT_FALSE(ParseHttpResultPacket(longer));
  EXPECT_FALSE(ParseHttpResultPacket(Bytes(expected.begin(), expected.end() - 1)));
}

TEST(TimeOut, MillisecondsAsTheSystemReadsThem) {
  EXPECT_EQ(HttpRequestWaitMilliseconds(0), 90000u);
  EXPECT_EQ(HttpRequestWaitMilliseconds(90), 90000u);
  EXPECT_EQ(HttpRequestWaitMilliseconds(1), 1000u);
  EXPECT_EQ(HttpRequestWaitMilliseconds(-1), 4294966296u);
}

}  // namespace

// URL and text helpers over the shared text operations.
#include "web/url_text.h"

#include <cmath>
#include <limits>

#include "runtime/codepage.h"

namespace {

int Length(const Text& text) { return static_cast<int>(text.size()); }

}  // namespace

Text GetUrlHost(const Text& url, bool keepPort) {
  int scheme = FindText(url, "http://");
  int start = scheme == -1 ? 1 : scheme + 7;
  int slash = FindText(url, "/", start);
  Text host = slash == -1 ? TextMiddle(url, start, Length(url)) : TextMiddle(url, start, slash - start);
  if (!keepPort) {
    int colon = FindText(host, ":");
    if (colon != -1) host = TextLeft(host, colon - 1);
  }
  return ToLower(host);
}

Text GetUrlPath(const Text& url) {
  int at = FindText(url, GetUrlHost(url), 1, true);
  int slash = FindText(url, "/", at);
  if (slash == -1) return "/";
  return TextMiddle(url, slash, Length(url));
}

int GetUrlPort(const Text& url) {
  Text hostAndPort = GetUrlHost(url, true);
  int colon = FindText(hostAndPort, ":");
  if (colon == -1) return 80;
  double port = std::trunc(ToDouble(TextMiddle(hostAndPort, colon + 1, Length(hostAndPort))));
  if (!(port >= std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  if (port > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  return static_cast<int>(port);
}

Text GetTextBetween(const Text& text, const Text& left, const Text& right, int skipCount, int startPos) {
  int from = startPos > 0 ? startPos : 1;
  for (int k = 0; k < skipCount; ++k) {
    int hit = FindText(text, left, from, true);
    from = hit == -1 ? 1 : hit + 1;
  }
  int p = FindText(text, left, from, true);
  int r = FindText(text, right, p + 1, true);
  if (p == -1 || r == -1) return "";
  int n = r - p - Length(left);
  if (n <= 0) return "";
  return TextMiddle(text, p + Length(left), n);
}

Text GetTextBetweenEx(const Text& text, const Text& left, const Text& right) {
  if (right.empty()) {
    int p = FindText(text, left);
    if (p == -1) return "";
    return TextMiddle(text, p + Length(left), Length(text));
  }
  if (left.empty()) {
    int p = FindText(text, right);
    if (p == -1) return "";
    return TextLeft(text, p - 1);
  }
  int p = FindText(text, left);
  if (p == -1) return "";
  Text rest = TextMiddle(text, p + Length(left), Length(text));
  return TextLeft(rest, FindText(rest, right) - 1);
}

Text UrlDecodeToGbk(const Text& text) {
  static const Text digits = "0123456789ABCDEF";
  Bytes out;
  std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    if (text[i] != '%') {
      out.push_back(static_cast<std::uint8_t>(text[i]));
      ++i;
      continue;
    }
    Text pair = ToUpper(text.substr(i + 1, 2));
    std::size_t high = pair.size() == 2 ? digits.find(pair[0]) : Text::npos;
    std::size_t low = pair.size() == 2 ? digits.find(pair[1]) : Text::npos;
    if (high != Text::npos && low != Text::npos) {
      Text decoded = CharFromCode(static_cast<int>(high * 16 + low));  // a decoded 0 adds nothing
      out.insert(out.end(), decoded.begin(), decoded.end());
    } else {
      out.insert(out.end(), text.begin() + static_cast<std::ptrdiff_t>(i),
                 text.begin() + static_cast<std::ptrdiff_t>(std::min(i + 3, n)));
    }
    i += 3;
  }
  return Utf8ToGbk(out);
}

Text Utf8ToGbk(const Bytes& utf8) { return Utf16ToGbk(Utf8ToUtf16(utf8)); }

Bytes Utf8ToUtf16(const Bytes& utf8) { return ConvertUtf8ToUtf16(utf8); }

Text Utf16ToGbk(const Bytes& utf16le) { return ConvertUtf16ToGbk(utf16le); }

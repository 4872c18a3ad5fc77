// Text operations over GBK byte strings: GBK-aware search, replace and split, byte cutting,
// ASCII case folding and the number conversions (locale-independent).
#include "runtime/text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Bytes of the character at i: a lead byte and the byte after it are one character.
std::size_t CharLength(const Text& text, std::size_t i) {
  return (IsLeadByte(text[i]) && i + 1 < text.size()) ? 2 : 1;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// True when sought stands in text at byte offset pos. With ignoreCase only ASCII letters fold;
// a double-byte character of sought compares exactly, so its second byte never folds.
bool MatchesAt(const Text& text, std::size_t pos, const Text& sought, bool ignoreCase) {
  if (sought.size() > text.size() - pos) return false;
  if (!ignoreCase) return std::memcmp(text.data() + pos, sought.data(), sought.size()) == 0;
  for (std::size_t k = 0; k < sought.size();) {
    if (IsLeadByte(sought[k]) && k + 1 < sought.size()) {
      if (text[pos + k] != sought[k] || text[pos + k + 1] != sought[k + 1]) return false;
      k += 2;
      continue;
    }
    if (FoldAscii(text[pos + k]) != FoldAscii(sought[k])) return false;
    ++k;
  }
  return true;
}

template <typename Fold>
Text FoldCase(const Text& text, Fold fold) {
  Text out = text;
  for (std::size_t i = 0; i < out.size();) {
    std::size_t n = CharLength(out, i);
    if (n == 1) out[i] = fold(out[i]);
    i += n;
  }
  return out;
}

// Full-width GBK digits, point, signs and the ideographic space as their ASCII forms.
Text NarrowNumberForms(const Text& text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = CharLength(text, i);
    if (n == 2) {
      unsigned char a = static_cast<unsigned char>(text[i]);
      unsigned char b = static_cast<unsigned char>(text[i + 1]);
      char narrow = 0;
      if (a == 0xA3 && b >= 0xB0 && b <= 0xB9) narrow = static_cast<char>('0' + (b - 0xB0));
      else if (a == 0xA3 && b == 0xAE) narrow = '.';
      else if (a == 0xA3 && b == 0xAB) narrow = '+';
      else if (a == 0xA3 && b == 0xAD) narrow = '-';
      else if (a == 0xA1 && b == 0xA1) narrow = ' ';
      if (narrow != 0) {
        out.push_back(narrow);
      } else {
        out.append(text, i, 2);
      }
    } else {
      out.push_back(text[i]);
    }
    i += n;
  }
  return out;
}

// Reads the leading decimal floating-point number the way strtod does in the C locale, but
// without hexadecimal forms, infinities or NaN. 0 when no number leads.
template <typename Real>
Real ReadLeadingReal(const Text& raw) {
  const Text text = NarrowNumberForms(raw);
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t begin = i;
  std::size_t intDigits = 0, fracDigits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++intDigits;
  const std::size_t intEnd = i;
  if (i < text.size() && text[i] == '.') {
    std::size_t j = i + 1;
    while (j < text.size() && IsDigit(text[j])) ++j, ++fracDigits;
    if (intDigits + fracDigits > 0) i = j;
  }
  if (intDigits + fracDigits == 0) return 0;
  long long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    bool expNegative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) expNegative = text[j++] == '-';
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) {
        if (exponent < 100000000) exponent = exponent * 10 + (text[j] - '0');
        ++j;
      }
      if (expNegative) exponent = -exponent;
      i = j;
    }
  }
  Real value = 0;
  auto [end, error] = std::from_chars(text.data() + begin, text.data() + i, value,
                                      std::chars_format::general);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    // Decide between overflow and underflow from the decimal magnitude of the first digit.
    long long magnitude = 0;
    std::size_t k = begin;
    while (k < intEnd && text[k] == '0') ++k;
    if (k < intEnd) {
      magnitude = static_cast<long long>(intEnd - k) - 1 + exponent;
    } else {
      long long zeros = 0;
      for (std::size_t f = intEnd + 1; f < intEnd + 1 + fracDigits && text[f] == '0'; ++f) ++zeros;
      magnitude = -zeros - 1 + exponent;
    }
    value = magnitude > 0 ? HUGE_VAL : 0;
  } else if (error != std::errc()) {
    value = 0;
  }
  return negative ? -value : value;
}

}  // namespace

int FindText(const Text& text, const Text& sought, int start, bool ignoreCase) {
  const std::size_t first = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (first >= text.size()) return -1;
  if (sought.empty()) return static_cast<int>(first) + 1;
  // Characters are counted from the text's start, so a start that falls on a second byte
  // still never lets a match begin there.
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (i >= first && MatchesAt(text, i, sought, ignoreCase)) return static_cast<int>(i) + 1;
  }
  return -1;
}

int FindTextReverse(const Text& text, const Text& sought) {
  if (sought.empty()) return -1;
  int last = -1;
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (MatchesAt(text, i, sought, false)) last = static_cast<int>(i) + 1;
  }
  return last;
}

Text SubstituteText(const Text& text, const Text& find, const Text& replacement) {
  if (find.empty()) return text;
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (MatchesAt(text, i, find, false)) {
      out += replacement;
      i += find.size();
    } else {
      std::size_t n = CharLength(text, i);
      out.append(text, i, n);
      i += n;
    }
  }
  return out;
}

std::vector<Text> SplitText(const Text& text, const Text& delimiter) {
  std::vector<Text> pieces;
  if (text.empty()) return pieces;
  if (delimiter.empty()) {
    pieces.push_back(text);
    return pieces;
  }
  std::size_t pieceStart = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (MatchesAt(text, i, delimiter, false)) {
      pieces.push_back(text.substr(pieceStart, i - pieceStart));
      i += delimiter.size();
      pieceStart = i;
    } else {
      i += CharLength(text, i);
    }
  }
  if (pieceStart < text.size()) pieces.push_back(text.substr(pieceStart));
  return pieces;
}

Text TextLeft(const Text& text, int n) {
  if (n <= 0) return Text();
  return text.substr(0, std::min<std::size_t>(static_cast<std::size_t>(n), text.size()));
}

Text TextRight(const Text& text, int n) {
  if (n <= 0) return Text();
  std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(n), text.size());
  return text.substr(text.size() - count);
}

Text TextMiddle(const Text& text, int start, int count) {
  if (start < 1 || count <= 0 || static_cast<std::size_t>(start) > text.size()) return Text();
  return text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(count));
}

Text ToLower(const Text& text) { return FoldCase(text, FoldAscii); }

Text ToUpper(const Text& text) {
  return FoldCase(text, [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
}

Text ToText(const Bytes& bytes) {
  std::size_t n = 0;
  while (n < bytes.size() && bytes[n] != 0) ++n;
  return Text(reinterpret_cast<const char*>(bytes.data()), n);
}

Text ToText(int value) { return std::to_string(value); }

Text ToText(long long value) { return std::to_string(value); }

Text ToText(double value) {
  // Same digits as "%.13g", but never dependent on the process locale.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
  return Text(buffer, result.ptr);
}

Bytes ToByteSet(const Text& text) { return Bytes(text.begin(), text.end()); }

int ToInt(const Text& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

double ToDouble(const Text& text) { return ReadLeadingReal<double>(text); }

float ToFloat(const Text& text) { return ReadLeadingReal<float>(text); }

Text CharFromCode(int value) {
  char c = static_cast<char>(value & 0xFF);
  return c == 0 ? Text() : Text(1, c);
}

Text SqlEscape(const Text& value) {
  Text out;
  out.reserve(value.size());
  for (char c : value) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  return out;
}

// Code-page conversion through iconv. Conversion goes on past every character it cannot take:
// an unconvertible character or an invalid input sequence becomes one replacement character.
#include "runtime/codepage.h"

#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

// Wide: the platform's wchar_t code units (UCS-4 in host order), as the window toolkit keeps text.
enum class Encoding { Gbk, Utf8, Utf16, Wide };

const char* IconvName(Encoding e) {
  switch (e) {
    case Encoding::Gbk: return "CP936";
    case Encoding::Utf8: return "UTF-8";
    case Encoding::Utf16: return "UTF-16LE";
    case Encoding::Wide: return "WCHAR_T";
  }
  return "";
}

// One converter per direction and thread: iconv descriptors carry state and are not shared.
class Converter {
 public:
  Converter(Encoding from, Encoding to) : cd_(iconv_open(IconvName(to), IconvName(from))) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool valid() const { return cd_ != (iconv_t)-1; }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

Converter& ConverterFor(Encoding from, Encoding to) {
  thread_local Converter gbkToUtf8(Encoding::Gbk, Encoding::Utf8);
  thread_local Converter utf8ToGbk(Encoding::Utf8, Encoding::Gbk);
  thread_local Converter utf8ToUtf16(Encoding::Utf8, Encoding::Utf16);
  thread_local Converter utf16ToGbk(Encoding::Utf16, Encoding::Gbk);
  thread_local Converter gbkToWide(Encoding::Gbk, Encoding::Wide);
  if (from == Encoding::Gbk) return to == Encoding::Wide ? gbkToWide : gbkToUtf8;
  if (from == Encoding::Utf16) return utf16ToGbk;
  return to == Encoding::Gbk ? utf8ToGbk : utf8ToUtf16;
}

bool InRange(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

// Length of a well-formed UTF-8 sequence at p, 0 when the bytes there are not one.
std::size_t Utf8SequenceLength(const unsigned char* p, std::size_t left) {
  unsigned char c = p[0];
  std::size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (c < 0x80) return 1;
  if (InRange(c, 0xC2, 0xDF)) n = 2;
  else if (c == 0xE0) n = 3, low = 0xA0;
  else if (c == 0xED) n = 3, high = 0x9F;
  else if (InRange(c, 0xE1, 0xEF)) n = 3;
  else if (c == 0xF0) n = 4, low = 0x90;
  else if (c == 0xF4) n = 4, high = 0x8F;
  else if (InRange(c, 0xF1, 0xF3)) n = 4;
  else return 0;
  if (left < n || !InRange(p[1], low, high)) return 0;
  for (std::size_t k = 2; k < n; ++k) {
    if (!InRange(p[k], 0x80, 0xBF)) return 0;
  }
  return n;
}

// Input bytes that stand for the one character at p that could not be converted.
std::size_t SkipLength(Encoding from, const unsigned char* p, std::size_t left) {
  switch (from) {
    case Encoding::Gbk:
      // A pair of lead and trail byte is one (unassigned) character; anything else one byte.
      if (left >= 2 && InRange(p[0], 0x81, 0xFE) && InRange(p[1], 0x40, 0xFE) && p[1] != 0x7F) return 2;
      return 1;
    case Encoding::Utf8: {
      std::size_t n = Utf8SequenceLength(p, left);
      return n == 0 ? 1 : n;
    }
    case Encoding::Utf16:
      if (left >= 4 && InRange(p[1], 0xD8, 0xDB) && InRange(p[3], 0xDC, 0xDF)) return 4;
      return left >= 2 ? 2 : left;
    case Encoding::Wide:
      return left >= sizeof(wchar_t) ? sizeof(wchar_t) : left;
  }
  return 1;
}

std::string_view Replacement(Encoding to, bool markUnstorable) {
  static const wchar_t wideReplacement = 0xFFFD;
  switch (to) {
    case Encoding::Gbk: return markUnstorable ? std::string_view("\xFF", 1) : "?";
    case Encoding::Utf8: return "\xEF\xBF\xBD";
    case Encoding::Utf16: return std::string_view("\xFD\xFF", 2);
    case Encoding::Wide: return std::string_view(reinterpret_cast<const char*>(&wideReplacement), sizeof(wchar_t));
  }
  return "?";
}

std::string Convert(Encoding from, Encoding to, const void* data, std::size_t size,
                    bool markUnstorable = false) {
  std::string out;
  if (size == 0) return out;
  Converter& converter = ConverterFor(from, to);
  if (!converter.valid()) return out;
  iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);

  // Room for every input byte becoming a whole code unit (a wide one is four bytes).
  out.resize(size * (to == Encoding::Wide ? sizeof(wchar_t) : 2) + 16);
  std::size_t written = 0;
  char* in = const_cast<char*>(static_cast<const char*>(data));
  std::size_t inLeft = size;
  while (inLeft > 0) {
    char* outPtr = out.data() + written;
    std::size_t outLeft = out.size() - written;
    std::size_t rc = iconv(converter.get(), &in, &inLeft, &outPtr, &outLeft);
    written = out.size() - outLeft;
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL: one character that cannot be converted, or a cut-off one at the end.
    std::string_view replacement = Replacement(to, markUnstorable);
    if (out.size() - written < replacement.size()) out.resize(out.size() * 2);
    std::memcpy(out.data() + written, replacement.data(), replacement.size());
    written += replacement.size();
    if (errno == EINVAL) break;
    if (errno != EILSEQ) break;
    std::size_t skip = SkipLength(from, reinterpret_cast<const unsigned char*>(in), inLeft);
    in += skip;
    inLeft -= skip;
  }
  out.resize(written);
  return out;
}

// The text up to the first NUL, as a Text never holds one.
Text UpToNul(std::string s) {
  std::size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

}  // namespace

namespace {

std::wstring ConvertWholeGbkToWide(const Text& gbk) {
  const std::string units = Convert(Encoding::Gbk, Encoding::Wide, gbk.data(), gbk.size());
  std::wstring wide(units.size() / sizeof(wchar_t), L'\0');
  std::memcpy(wide.data(), units.data(), wide.size() * sizeof(wchar_t));
  return wide;
}

// The character of each two-byte GBK code met so far, learnt from the converter one code at a
// time: 0 not yet known, kNoCharacter none. Shared by all threads; a race only converts a code
// twice. Texts reach the widgets by the thousand (a tree's items), and GBK is stateless, so a
// text is the characters of its codes.
constexpr unsigned kLeadFirst = 0x81, kLeadLast = 0xFE, kTrailFirst = 0x40, kTrailLast = 0xFE;
constexpr std::uint32_t kNoCharacter = 0xFFFFFFFF;
std::atomic<std::uint32_t> characterOfGbk[(kLeadLast - kLeadFirst + 1) * (kTrailLast - kTrailFirst + 1)];

std::uint32_t CharacterOfGbk(unsigned char lead, unsigned char trail) {
  std::atomic<std::uint32_t>& slot =
      characterOfGbk[(lead - kLeadFirst) * (kTrailLast - kTrailFirst + 1) + (trail - kTrailFirst)];
  std::uint32_t known = slot.load(std::memory_order_relaxed);
  if (known != 0) return known;
  const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
  const std::wstring wide = ConvertWholeGbkToWide(Text(pair, 2));
  known = wide.size() == 1 && wide[0] != 0xFFFD ? static_cast<std::uint32_t>(wide[0]) : kNoCharacter;
  slot.store(known, std::memory_order_relaxed);
  return known;
}

// The character of the two-byte code at p, or kNoCharacter when it is none (a lone byte above
// ASCII, a pair outside the code ranges, a code the converter rejects).
std::uint32_t CharacterAt(const unsigned char* p, const unsigned char* end) {
  if (end - p < 2 || !InRange(p[0], kLeadFirst, kLeadLast) || !InRange(p[1], kTrailFirst, kTrailLast) ||
      p[1] == 0x7F) {
    return kNoCharacter;
  }
  return CharacterOfGbk(p[0], p[1]);
}

void AppendUtf8(std::string& utf8, std::uint32_t c) {
  if (c < 0x800) {
    utf8.push_back(static_cast<char>(0xC0 | c >> 6));
  } else if (c < 0x10000) {
    utf8.push_back(static_cast<char>(0xE0 | c >> 12));
    utf8.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
  } else {
    utf8.push_back(static_cast<char>(0xF0 | c >> 18));
    utf8.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    utf8.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
  }
  utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
}

}  // namespace

// As ConvertGbkToWide: every statement and stored text crosses here, a character at a time from
// the table, the converter taking the whole text where the table cannot.
std::string ConvertGbkToUtf8(const Text& gbk) {
  std::string utf8;
  utf8.reserve(gbk.size() + gbk.size() / 2);
  const auto* p = reinterpret_cast<const unsigned char*>(gbk.data());
  const auto* end = p + gbk.size();
  while (p < end) {
    if (*p < 0x80) {
      utf8.push_back(static_cast<char>(*p++));
      continue;
    }
    const std::uint32_t character = CharacterAt(p, end);
    if (character == kNoCharacter) return Convert(Encoding::Gbk, Encoding::Utf8, gbk.data(), gbk.size());
    AppendUtf8(utf8, character);
    p += 2;
  }
  return utf8;
}

// ASCII stands as it is and two-byte codes come from the table; anything else (a lone byte
// above ASCII, a code the converter rejects) has the converter take the whole text, so the
// result is the converter's in every case.
std::wstring ConvertGbkToWide(const Text& gbk) {
  std::wstring wide;
  wide.reserve(gbk.size());
  const auto* p = reinterpret_cast<const unsigned char*>(gbk.data());
  const auto* end = p + gbk.size();
  while (p < end) {
    if (*p < 0x80) {
      wide.push_back(static_cast<wchar_t>(*p++));
      continue;
    }
    const std::uint32_t character = CharacterAt(p, end);
    if (character == kNoCharacter) return ConvertWholeGbkToWide(gbk);
    wide.push_back(static_cast<wchar_t>(character));
    p += 2;
  }
  return wide;
}

Text ConvertUtf8ToGbk(const std::string& utf8) {
  return UpToNul(Convert(Encoding::Utf8, Encoding::Gbk, utf8.data(), utf8.size()));
}

Text ConvertTypedUtf8ToGbk(const std::string& utf8) {
  return UpToNul(Convert(Encoding::Utf8, Encoding::Gbk, utf8.data(), utf8.size(), true));
}

bool HoldsUnstorableCharacter(const Text& text) {
  return text.find(kUnstorableMark) != Text::npos;
}

Bytes ConvertUtf8ToUtf16(const Bytes& utf8) {
  std::string utf16 = Convert(Encoding::Utf8, Encoding::Utf16, utf8.data(), utf8.size());
  return Bytes(utf16.begin(), utf16.end());
}

Text ConvertUtf16ToGbk(const Bytes& utf16le) {
  // An odd last byte is no code unit.
  std::size_t size = utf16le.size() & ~static_cast<std::size_t>(1);
  return UpToNul(Convert(Encoding::Utf16, Encoding::Gbk, utf16le.data(), size));
}

// Texts and byte buffers, and the text operations every part of both programs uses.
// A Text is a GBK byte string without NUL bytes. Positions count from 1; "not found" is -1.
// Searching and replacing step over a GBK double-byte character (a byte >= 0x80 and the byte
// after it) as one unit, so a match never begins on a second byte. Cutting counts plain bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;

// First occurrence of sought at or after start (below 1 counts as 1); characters count from the
// text's start, so a start on a second byte finds the next character. With ignoreCase only ASCII
// letters fold. An empty sought text is found at start when the searched part is not empty.
int FindText(const Text& text, const Text& sought, int start = 1, bool ignoreCase = false);
// Last occurrence of sought, -1 when absent (an empty sought text is absent).
int FindTextReverse(const Text& text, const Text& sought);
// Every occurrence of find replaced, scanning left to right; an empty find changes nothing.
Text SubstituteText(const Text& text, const Text& find, const Text& replacement);
// An empty text has no pieces; each piece ending at a delimiter counts, also an empty one; the
// rest after the last delimiter counts only when not empty; no delimiter gives one piece.
std::vector<Text> SplitText(const Text& text, const Text& delimiter);

Text TextLeft(const Text& text, int n);               // first min(n, length) bytes; "" for n <= 0
Text TextRight(const Text& text, int n);              // last min(n, length) bytes; "" for n <= 0
Text TextMiddle(const Text& text, int start, int count);  // "" when start < 1, past end, count <= 0
Text ToLower(const Text& text);                       // ASCII letters only
Text ToUpper(const Text& text);

Text ToText(const Bytes& bytes);  // bytes up to the first NUL
Text ToText(int value);           // decimal
Text ToText(long long value);
Text ToText(double value);        // "%.13g"
Bytes ToByteSet(const Text& text);

// Leading decimal integer: leading blanks skipped, optional sign, digits; 0 when none lead.
int ToInt(const Text& text);
// Full-width GBK digits, point, signs and the ideographic space become ASCII first; then the
// leading decimal floating-point number is read (0 when there is none).
double ToDouble(const Text& text);
float ToFloat(const Text& text);
// One-byte text of the value's low 8 bits; 0 gives "".
Text CharFromCode(int value);

// A value for an SQL text between apostrophes: every "'" doubled, nothing else changed, so "%"
// stays a LIKE wildcard and no value can end a statement early.
Text SqlEscape(const Text& value);

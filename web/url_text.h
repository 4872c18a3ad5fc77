// Taking URLs apart, cutting text between markers, and turning a percent-encoded UTF-8 page
// into GBK text. No state; every routine may run on any thread.
#pragma once

#include "runtime/text.h"

// The host after the first "http://" (matched in lower case, anywhere), up to the next "/",
// lower-cased; its ":" and port stay only with keepPort.
Text GetUrlHost(const Text& url, bool keepPort = false);
// From the first "/" after the host to the end (query and fragment included), else "/".
Text GetUrlPath(const Text& url);
// The port after the host's ":", 80 without one, 0 when no number follows the ":".
int GetUrlPort(const Text& url);
// The text between the first left marker and the next right marker, searched from the byte
// after the left marker's first byte; ASCII case ignored; "" when either is missing. With a
// start position the left marker is first searched from there; each skip moves past one more
// occurrence (a skip that finds none starts over at the text's start).
Text GetTextBetween(const Text& text, const Text& left, const Text& right, int skipCount = 0,
                    int startPos = 0);
// Case-sensitive; an empty marker is an open end; "" when a given marker is missing.
Text GetTextBetweenEx(const Text& text, const Text& left = "", const Text& right = "");
// "%XX" escapes (hex digits in either case) decoded, then the bytes read as UTF-8. A "%" not
// followed by two hex digits is kept with the two bytes after it.
Text UrlDecodeToGbk(const Text& text);
Text Utf8ToGbk(const Bytes& utf8);
Bytes Utf8ToUtf16(const Bytes& utf8);   // UTF-16LE, no terminator
Text Utf16ToGbk(const Bytes& utf16le);  // up to the first NUL; "?" for what GBK cannot hold

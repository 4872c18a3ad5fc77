// Code-page conversion at the edges of the programs (window system, file system, database).
// A character that GBK cannot hold becomes "?"; invalid input bytes are replaced, never fatal.
#pragma once

#include <string>

#include "runtime/text.h"

std::string ConvertGbkToUtf8(const Text& gbk);
// The same characters as wchar_t code units, as the window toolkit holds its strings: no
// detour through UTF-8 for every text shown.
std::wstring ConvertGbkToWide(const Text& gbk);
Text ConvertUtf8ToGbk(const std::string& utf8);
// For what a user typed: a character that GBK cannot hold becomes kUnstorableMark instead of
// "?", so the program can refuse to store the text rather than change it silently.
Text ConvertTypedUtf8ToGbk(const std::string& utf8);
// A byte that is no GBK character and never a second byte of one.
constexpr char kUnstorableMark = '\xFF';
// True when the text holds a character GBK cannot hold (marked as above).
bool HoldsUnstorableCharacter(const Text& text);
// UTF-16LE bytes, no terminator.
Bytes ConvertUtf8ToUtf16(const Bytes& utf8);
// Text up to the first NUL that the conversion gives.
Text ConvertUtf16ToGbk(const Bytes& utf16le);

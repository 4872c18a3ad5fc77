// GBK characters whose second byte is an ASCII character that searches and paths care about.
#pragma once

#include "runtime/text.h"

inline const Text kBackslashTrail = "\x95\x5C";  // 昞: second byte "\"
inline const Text kBarTrail = "\x81\x7C";        // 亅: second byte "|"
inline const Text kUpperATrail = "\x81\x41";     // 丄: second byte "A"
inline const Text kLowerATrail = "\x81\x61";     // 乤: second byte "a"

// A u8 literal as the std::string the conversions take and give.
inline std::string Utf8(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }

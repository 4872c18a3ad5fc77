// File times that the zip component stores, one implementation per platform.
#pragma once

#include <string>

struct LocalTime {
  int year = 1980;  // full year
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The last modification time of a file (native path) in local time; false when unknown.
bool FileModifiedLocalTime(const std::string& nativePath, LocalTime& out);

// File times on POSIX: stat and the local time zone.
#include "runtime/file_time.h"

#include <sys/stat.h>

#include <ctime>

bool FileModifiedLocalTime(const std::string& nativePath, LocalTime& out) {
  struct stat st;
  if (stat(nativePath.c_str(), &st) != 0) return false;
  struct tm local;
  if (localtime_r(&st.st_mtime, &local) == nullptr) return false;
  out.year = local.tm_year + 1900;
  out.month = local.tm_mon + 1;
  out.day = local.tm_mday;
  out.hour = local.tm_hour;
  out.minute = local.tm_min;
  out.second = local.tm_sec;
  return true;
}

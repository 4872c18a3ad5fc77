// A shell command's output and exit status, for tests that check a file with a standard tool.
#pragma once

#include <cstdio>
#include <string>

// Everything the command wrote to its standard output; status is its exit status as pclose
// gives it (0 for success), -1 when it could not be started.
inline std::string CommandOutput(const std::string& command, int& status) {
  std::string output;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return output;
  }
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  status = pclose(pipe);
  return output;
}

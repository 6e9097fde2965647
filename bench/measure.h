#pragma once
// Timing for the benchmarks: one piece of work in milliseconds, and the
// median of several; the numbers given on the command line.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace bench {

inline double milliseconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The number after `name` ("--seconds") among the arguments, at least 1; `fallback` when it is not given.
inline int argument(int argc, char** argv, const char* name, int fallback) {
  int value = fallback;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) value = std::max(1, std::atoi(argv[i + 1]));
  return value;
}

}  // namespace bench

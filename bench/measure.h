#pragma once
// Timing for the benchmarks: one piece of work in milliseconds, and the
// median of several.
#include <algorithm>
#include <chrono>
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

}  // namespace bench

// The engine program with 35 items in crash loops, each stop sending an
// e-mail: how close the restarts keep to their times while the e-mails go to
// a server that answers, and while they go to one that never answers (each
// send then lasts the session's whole time-out). A restart's lateness is the
// time from the end of the old process to the creation of the new one, less
// the pause after quick stops (5 s, 10 s, 20 s, ...); both times are written
// by the crashing program itself. Goal: with the silent server, restarts
// within 2 times their lateness with the working one.
// Usage: mail_silent_bench [--seconds N] (160 by default: five restarts per item).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "bench_stage.h"

namespace {

constexpr int kItems = 35;

std::string itemName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "crash%02d.exe", i + 1);
  return name;
}

double at(std::vector<double> v, double q) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
}

struct Phase {
  std::vector<double> lateMs;
  int sent = 0, failed = 0;
};

// The crash loops for `seconds` with the e-mails going to the mail server of this behaviour.
Phase run(const char* server, int seconds) {
  e2e::EngineStage stage;
  std::vector<std::string> items;
  items.reserve(kItems);
  for (int i = 0; i < kItems; ++i)
    items.push_back(itemName(i) + "|" + bench::copyBenchProgram(stage, "bench_item.exe", itemName(i)));
  stage.writeItems(items);
  bench::writeMailSettings(stage, server, "0.05");
  stage.startEngine();
  e2e::pumpFor(std::chrono::seconds(seconds));

  Phase phase;
  for (int i = 0; i < kItems; ++i) {
    std::istringstream lines(stage.exists(itemName(i) + ".times") ? stage.read(itemName(i) + ".times") : "");
    long long created = 0, ended = 0, previousEnd = 0;
    for (int stop = 0; lines >> created >> ended; ++stop, previousEnd = ended) {
      if (stop == 0) continue;  // the first start, when the engine began
      const long long pauseUs = std::min(5'000'000LL << (stop - 1), 600'000'000LL);
      phase.lateMs.push_back(static_cast<double>(created - previousEnd - pauseUs) / 1000.0);
    }
  }
  phase.sent = stage.logCount(" sent to ");
  phase.failed = stage.logCount(" failed: ");
  return phase;
}

void print(const char* name, const Phase& p) {
  std::printf(
      "%-8s server: restart lateness median %.1f ms, p90 %.1f ms, max %.1f ms over %zu restarts; "
      "%d e-mails sent, %d failed\n",
      name, at(p.lateMs, 0.5), at(p.lateMs, 0.9), at(p.lateMs, 1.0), p.lateMs.size(), p.sent, p.failed);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 160;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(20, std::atoi(argv[i + 1]));
  const Phase working = run("plain", seconds), silent = run("silent", seconds);
  print("working", working);
  print("silent", silent);
  const double median = at(silent.lateMs, 0.5) / at(working.lateMs, 0.5),
               p90 = at(silent.lateMs, 0.9) / at(working.lateMs, 0.9);
  std::printf("silent / working: median %.2f x, p90 %.2f x (goal: at most 2 x)\n", median, p90);
  return median <= 2 && p90 <= 2 ? 0 : 1;
}

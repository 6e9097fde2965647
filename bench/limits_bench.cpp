// The checks of monitor.ini in the engine program: its CPU while 35 items with windows run under all three
// checks without exceeding them (beside a program that only sleeps), then how soon an item is ended after
// its window stops answering, after it goes over its memory limit and after it begins to spin past its
// CPU limit, beside the settings. The CPU times
// come from the system's process list: under Wine, GetProcessTimes of another process reads next to nothing.
// Usage: limits_bench [--seconds N] (30 by default) [--times N] (5 by default).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench_stage.h"
#include "e2e/engine_stage.h"
#include "measure.h"
#include "process_stats.h"
#include "win/process_table.h"

namespace {

constexpr int kItems = 35;  // 34 with a window, and the one that goes over its memory limit

std::string itemName(int i) { return bench::numberedName("hang", i); }

// The only process of this image; nullptr when there is none or more than one.
win::unique_handle onlyInstance(const std::string& image) {
  std::vector<DWORD> ids;
  win::ProcessTable().walk([&](DWORD id, std::string_view name) {
    if (_stricmp(std::string(name).c_str(), image.c_str()) == 0) ids.push_back(id);
  });
  if (ids.size() != 1) return {};
  return win::unique_handle(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[0]));
}

// Each new instance of `image` (the engine restarts it), up to `count`: how soon `measure` says it ended.
std::vector<long long> instances(const std::string& image, int count,
                                 const std::function<long long(HANDLE)>& measure) {
  std::vector<long long> ms;
  DWORD last = 0;
  for (int i = 0; i < count; ++i) {
    win::unique_handle process;
    e2e::waitUntil([&] { return (process = onlyInstance(image)) && GetProcessId(process.get()) != last; },
                   std::chrono::seconds(90));
    if (!process) break;
    last = GetProcessId(process.get());
    ms.push_back(measure(process.get()));
  }
  return ms;
}

// From the creation of a process to its end, as the system records both; -1 when it runs on.
long long msFromStartToEnd(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (WaitForSingleObject(process, 15'000) != WAIT_OBJECT_0 ||
      !GetProcessTimes(process, &created, &exited, &kernel, &user))
    return -1;
  const auto ticks = [](FILETIME t) { return (LONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  return (ticks(exited) - ticks(created)) / 10'000;
}

void report(const char* what, std::vector<long long> ms, int settingSeconds) {
  std::sort(ms.begin(), ms.end());
  const bool missed = ms.empty() || ms.front() < 0;
  std::printf(
      "%s: ended %.2f s after the condition began (median of %zu; max %.2f s; setting %d s; goal: within "
      "%d s)%s\n",
      what, ms.empty() ? -1.0 : static_cast<double>(ms[ms.size() / 2]) / 1000.0, ms.size(),
      ms.empty() ? -1.0 : static_cast<double>(ms.back()) / 1000.0, settingSeconds, settingSeconds + 2,
      missed ? " (some not ended within 15 s)" : "");
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = bench::argument(argc, argv, "--seconds", 30);
  const int times = bench::argument(argc, argv, "--times", 5);
  e2e::EngineStage stage;
  std::vector<std::string> items;
  const auto running = bench::startNumbered(stage, "hang", kItems - 1, items);
  const auto hog = stage.addProgram("hog.exe");
  items.push_back("hog.exe|" + hog);
  auto sleeper = e2e::Process::start(stage.addProgram("idle.exe"));
  stage.writeItems(items);
  stage.writeSettings("0");
  auto& engine = stage.startEngine();
  if (!stage.waitForLog("engine started (program): watching 35 items")) {
    std::fprintf(stderr, "the engine did not start:\n%s\n", stage.log().c_str());
    return 1;
  }
  // The engine's CPU over the quiet time, after it has settled (its first walks, a file read).
  const auto measure = [&](double& sleeperPercent) {
    e2e::pumpFor(std::chrono::seconds(3));
    const double before = bench::cpuSeconds(engine.id()), sleeperBefore = bench::cpuSeconds(sleeper.id());
    const auto start = std::chrono::steady_clock::now();
    e2e::waitUntil([] { return false; }, std::chrono::seconds(seconds));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sleeperPercent = 100.0 * (bench::cpuSeconds(sleeper.id()) - sleeperBefore) / wall;
    return 100.0 * (bench::cpuSeconds(engine.id()) - before) / wall;
  };
  double sleeperPercent = 0;
  const double unchecked = measure(sleeperPercent);
  // Every item under all three checks, none exceeded while the CPU is measured.
  stage.write("monitor.ini",
              "[Defaults]\r\nNotRespondingSeconds=3\r\nMemoryLimitMB=500\r\nCpuLimitPercent="
              "90\r\nLimitSeconds=3\r\n");
  const double checked = measure(sleeperPercent);
  std::printf(
      "engine CPU with %d items under all three checks: %.3f%% of one core over %d s (goal: below 1%%); "
      "floor: the same engine and items without checks %.3f%%, a program that only sleeps %.3f%%\n",
      kItems, checked, seconds, unchecked, sleeperPercent);

  // Windows that stop answering, one item after another.
  std::vector<long long> hangMs;
  for (int i = 0; i < times; ++i) {
    const std::string name = itemName(i);
    stage.write(name + ".freeze", "");
    hangMs.push_back(stage.msFromOverToEnd(running[static_cast<std::size_t>(i)].handle(), name));
  }
  report("not responding", hangMs, 3);

  // A program over its memory limit, restarted and over it again each time (after the pauses for quick
  // stops); the first instance went over before its limit was set, and is not counted.
  stage.write("monitor.ini", "[hog.exe]\r\nMemoryLimitMB=50\r\nLimitSeconds=3\r\n");
  auto memoryMs = instances("hog.exe", std::min(times, 4) + 1,
                            [&](HANDLE process) { return stage.msFromOverToEnd(process, "hog.exe"); });
  if (!memoryMs.empty()) memoryMs.erase(memoryMs.begin());
  report("over the memory limit", memoryMs, 3);

  // A program that spins one processor from its start, past a CPU limit well under that, in the hog's
  // place (the list holds 35 items at most) once its limit is set; restarted and over it again each time.
  stage.write("monitor.ini", "[spin.exe]\r\nCpuLimitPercent=10\r\nLimitSeconds=3\r\n");
  items.back() = "spin.exe|" + stage.addProgram("spin.exe");
  stage.writeItems(items);
  report("over the CPU limit", instances("spin.exe", std::min(times, 4), msFromStartToEnd), 3);
  std::printf("log: %d not responding, %d over the memory limit, %d over the CPU limit, %d restarts\n",
              stage.logCount(" not responding for "), stage.logCount(" over its memory limit ("),
              stage.logCount(" over its CPU limit ("), stage.logCount(" restarted (program)"));
  return 0;
}

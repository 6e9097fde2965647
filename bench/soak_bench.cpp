// The engine program over ten minutes of a busy life, to show that it keeps
// nothing of what it has done: 35 items, of which 8 crash at once in a loop
// (the pauses growing), 4 more crash at once, drawn in turn from 8 that come
// and go from processes.ob, which is rewritten every 3 s, 20 run until the benchmark kills
// them after a minute, and 3 are services that it stops after a minute. Every
// stop sends an e-mail (repeated every 6 s while the item stays stopped),
// to a live SMTP server and, every other 30 s, to a port where nobody
// listens. The engine's handles and private bytes are read every 10 s; after
// the first minute they must stay flat: growth at most 32 handles and 1 MB,
// over at least 500 restarts and 100 e-mails.
// Usage: soak_bench [--minutes N] (10 by default).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "bench_stage.h"
#include "e2e/engine_stage.h"
#include "process_stats.h"
#include "win/process_table.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int kCrashing = 8, kChurning = 8, kLong = 20, kServices = 3;
constexpr auto kRunBeforeKill = seconds(61);

std::string numbered(const char* stem, int i, const char* suffix) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%02d%s", stem, i + 1, suffix);
  return name;
}

std::int64_t ticks(const FILETIME& t) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

std::int64_t createdAt(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(process, &created, &exited, &kernel, &user);
  return ticks(created);
}

std::int64_t exitedAt(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(process, &created, &exited, &kernel, &user);
  return ticks(exited);
}

// Every other item is a console program, which the engine starts with a console of its own.
const char* itemProgram(int i) { return i % 2 ? "bench_item.exe" : "bench_console_item.exe"; }

// An item the benchmark kills after a minute, and how soon it came back.
struct LongItem {
  std::string image;
  Clock::duration runFor;  // before the first kill: staggered, so that the kills spread out
  win::unique_handle process;
  Clock::time_point seenAt;
  std::int64_t killedExit = 0;  // the end of the process killed, while its successor is awaited
  Clock::time_point killedAt;
};

struct ServiceItem {
  std::string name;
  Clock::time_point runningSince;
  bool running = false;
};

DWORD serviceState(const std::string& name) {
  win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  win::unique_schandle service(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
  SERVICE_STATUS status{};
  return service && QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}

void stopService(const std::string& name) {
  win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  win::unique_schandle service(OpenServiceA(manager.get(), name.c_str(), SERVICE_STOP));
  SERVICE_STATUS status{};
  ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
}

double percentile(std::vector<double> v, double q) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
}

double medianOf(std::vector<double> v) { return percentile(std::move(v), 0.5); }

}  // namespace

int main(int argc, char** argv) {
  int minutes = 10;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--minutes") == 0) minutes = std::max(2, std::atoi(argv[i + 1]));

  e2e::EngineStage stage;
  const std::string nssm = "\"" + stage.file("nssm.exe") + "\" ";
  std::vector<std::string> steady, churning;
  for (int i = 0; i < kCrashing; ++i) {
    const std::string name = numbered("crash", i, ".exe");
    steady.push_back(name + "|" + bench::copyBenchProgram(stage, itemProgram(i), name));
  }
  for (int i = 0; i < kChurning; ++i) {
    const std::string name = numbered("churn", i, ".exe");
    churning.push_back(name + "|" + bench::copyBenchProgram(stage, "bench_item.exe", name));
  }
  std::vector<LongItem> longItems(kLong);
  for (int i = 0; i < kLong; ++i) {
    longItems[i].image = numbered("long", i, ".exe");
    longItems[i].runFor = kRunBeforeKill + seconds(3 * i);
    steady.push_back(longItems[i].image + "|" +
                     bench::copyBenchProgram(stage, itemProgram(i), longItems[i].image));
  }
  std::vector<ServiceItem> services(kServices);
  const std::string serviceProgram =
      " \"" + bench::copyBenchProgram(stage, "bench_service.exe", "soak_service.exe") + "\"";
  for (int i = 0; i < kServices; ++i) {
    services[i].name = numbered("BrennixSoak", i, "");
    e2e::run(nssm + "remove " + services[i].name + " confirm");
    std::string install = nssm;
    e2e::run(install.append("install ").append(services[i].name).append(serviceProgram));
    e2e::run("net.exe start " + services[i].name);
    steady.push_back(services[i].name + "|[Windows Service]");
  }

  int round = 0;
  auto writeItems = [&] {
    std::vector<std::string> items = steady;
    for (int i = 0; i < kChurning; ++i)
      if ((round + i) % 4 < 2) items.push_back(churning[i]);
    stage.writeItems(items);
    ++round;
  };
  bool liveServer = true;
  auto writeSettings = [&] {
    bench::writeMailSettings(stage, liveServer ? "plain" : "closed", "0.1");
    liveServer = !liveServer;
  };
  writeItems();
  writeSettings();
  auto& engine = stage.startEngine();
  if (!stage.waitForLog("engine started (program): watching")) {
    std::fprintf(stderr, "the engine did not start:\n%s\n", stage.log().c_str());
    return 1;
  }

  const auto start = Clock::now(), end = start + std::chrono::minutes(minutes);
  auto nextItems = start + seconds(3), nextSettings = start + seconds(30), nextSample = start;
  std::vector<double> sampleAt, privateKb;
  std::vector<long> handles;
  std::vector<double> restartMs;
  int missed = 0, serviceStops = 0;
  win::ProcessTable table;
  for (auto now = start; now < end; now = Clock::now()) {
    if (now >= nextSample) {
      sampleAt.push_back(std::chrono::duration<double>(now - start).count());
      handles.push_back(bench::handleCount(engine.id()));
      privateKb.push_back(static_cast<double>(bench::memoryOf(engine.handle()).PagefileUsage) / 1024.0);
      nextSample += seconds(10);
    }
    if (now >= nextItems) {
      writeItems();
      nextItems += seconds(3);
    }
    if (now >= nextSettings) {
      writeSettings();
      nextSettings += seconds(30);
    }
    // The long items: found, killed after their time, and timed until their successor runs.
    table.walk([&](DWORD id, std::string_view image) {
      for (auto& item : longItems) {
        if (item.process || !base::equalsIgnoringCase(item.image, image)) continue;
        win::unique_handle process(
            OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id));
        if (!process || WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) continue;
        if (item.killedExit) restartMs.push_back((createdAt(process.get()) - item.killedExit) / 10'000.0);
        item.killedExit = 0;
        item.process = std::move(process);
        item.seenAt = now;
      }
    });
    for (auto& item : longItems) {
      if (item.killedExit && now - item.killedAt > seconds(5)) {
        ++missed;
        std::printf("%s: no restart within 5 s of its kill\n", item.image.c_str());
        item.killedExit = 0;
      }
      if (!item.process || now - item.seenAt < item.runFor) continue;
      TerminateProcess(item.process.get(), 1);
      WaitForSingleObject(item.process.get(), 5000);
      item.killedExit = exitedAt(item.process.get());
      if (!item.killedExit) {
        FILETIME t;
        GetSystemTimeAsFileTime(&t);
        item.killedExit = ticks(t);
      }
      item.killedAt = now;
      item.process.reset();
      item.runFor = kRunBeforeKill;
    }
    for (auto& service : services) {
      const bool running = serviceState(service.name) == SERVICE_RUNNING;
      if (running && !service.running) service.runningSince = now;
      service.running = running;
      if (running && now - service.runningSince >= kRunBeforeKill + seconds(7)) {
        stopService(service.name);
        ++serviceStops;
        service.running = false;
      }
    }
    Sleep(250);
  }
  const double cpuSeconds = bench::cpuSeconds(engine.id());
  stage.stopEngines();
  for (const auto& service : services) {
    e2e::run("net.exe stop " + service.name);
    e2e::run(nssm + "remove " + service.name + " confirm");
  }

  std::printf("engine every 10 s: seconds, handles, private KB\n");
  for (std::size_t i = 0; i < sampleAt.size(); ++i)
    std::printf("%6.0f %6ld %9.0f\n", sampleAt[i], handles[i], privateKb[i]);
  // Flat after the first minute: the last three samples against the three from 60 s on.
  std::vector<double> firstH, lastH, firstKb, lastKb;
  for (std::size_t i = 0; i < sampleAt.size(); ++i) {
    if (sampleAt[i] >= 59 && firstH.size() < 3) {
      firstH.push_back(static_cast<double>(handles[i]));
      firstKb.push_back(privateKb[i]);
    }
    if (i + 3 >= sampleAt.size()) {
      lastH.push_back(static_cast<double>(handles[i]));
      lastKb.push_back(privateKb[i]);
    }
  }
  const double growH = medianOf(lastH) - medianOf(firstH), growKb = medianOf(lastKb) - medianOf(firstKb);
  // A read that failed (-1 handles, 0 bytes) proves nothing.
  const bool read = std::none_of(handles.begin(), handles.end(), [](long h) { return h < 0; }) &&
                    std::none_of(privateKb.begin(), privateKb.end(), [](double kb) { return kb <= 0; }) &&
                    !firstH.empty() && !lastH.empty();
  const bool flat = read && growH <= 32 && growKb <= 1024;
  std::printf(
      "growth after the first minute: %+.0f handles (goal: at most 32), %+.0f KB private (goal: at most "
      "1024)\n",
      growH, growKb);
  const int restarts = stage.logCount(" restarted ("), sent = stage.logCount(" sent to "),
            failed = stage.logCount(" failed: ");
  std::printf(
      "in %d minutes: %d restarts (goal: at least 500), %d e-mails sent and %d failed (goal: at least 100), "
      "%d service stops, %d list rewrites, engine CPU %.1f s\n",
      minutes, restarts, sent, failed, serviceStops, round, cpuSeconds);
  std::printf(
      "long items' restart after a kill: median %.1f ms, p99 %.1f ms, max %.1f ms over %zu kills, %d "
      "missed\n",
      medianOf(restartMs), percentile(restartMs, 0.99), percentile(restartMs, 1.0), restartMs.size(), missed);
  const bool busy = restarts >= 500 && sent + failed >= 100;
  const char* verdict = !read   ? "NOT MEASURED: the engine's handles or memory could not be read"
                        : !busy ? "NOT MEASURED: fewer restarts or e-mails than the goal"
                        : flat  ? "no leak"
                                : "LEAK: the engine keeps growing";
  std::printf("verdict: %s\n", verdict);
  return flat && busy && missed == 0 ? 0 : 1;
}

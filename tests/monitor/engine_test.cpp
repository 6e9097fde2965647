// The engine program at work under Wine: it restarts a killed program and a
// stopped service, picks up an edited item list, slows down a program that
// dies at once, and shares the restart duty with a second engine.
#include <gtest/gtest.h>

#include <cstdio>

#include "e2e/engine_stage.h"

namespace {

using namespace std::chrono_literals;
using e2e::EngineStage;
using Clock = std::chrono::steady_clock;

bool waitForInstance(const std::string& image, DWORD other = 0, e2e::Duration timeout = 10s) {
  return e2e::waitUntil(
      [&] {
        auto ids = e2e::instancesOf(image);
        return !ids.empty() && ids.front() != other;
      },
      timeout);
}

// The seconds of the day in the stamp of the first log line holding `text`.
int stampOf(const std::string& log, const std::string& text) {
  auto at = log.find(text);
  if (at == std::string::npos) return -1;
  auto lineStart = log.rfind('\n', at);
  unsigned h = 0, m = 0, s = 0;
  std::sscanf(log.c_str() + (lineStart == std::string::npos ? 0 : lineStart + 1) + 11, "%u:%u:%u", &h, &m, &s);
  return static_cast<int>(h * 3600 + m * 60 + s);
}

TEST(Engine, RestartsAKilledProgramAfterTheDelayAndLogsIt) {
  EngineStage stage;
  const auto path = stage.addProgram("worker.exe");
  auto worker = e2e::Process::start(path);
  auto second = e2e::Process::start(path);
  stage.writeItems({"Worker.EXE|" + path});
  stage.writeSettings(e2e::restartAndLog(" 1 "));
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started: watching 1 item\r\n")) << stage.log();

  // One of two instances ends: the item still runs. The engine reads the
  // changed list only after it has seen that end.
  second.kill();
  stage.writeItems({"Worker.EXE|" + path, " "});
  ASSERT_TRUE(stage.waitForLog("processes.ob read again: watching 1 item\r\n")) << stage.log();
  EXPECT_EQ(stage.log().find("stopped"), std::string::npos) << stage.log();

  worker.kill();
  const auto killed = Clock::now();
  ASSERT_TRUE(waitForInstance("worker.exe", worker.id())) << stage.log();
  const auto after = Clock::now() - killed;
  EXPECT_GE(after, 900ms);
  EXPECT_LT(after, 3s);
  EXPECT_EQ(e2e::instancesOf("worker.exe").size(), 1u);

  ASSERT_TRUE(stage.waitForLog("restarted\r\n", 5s));
  const std::string log = stage.log();
  EXPECT_NE(log.find(" - Worker.EXE stopped; restart in 1 s\r\n"), std::string::npos) << log;
  EXPECT_EQ(stage.logCount(" - Worker.EXE restarted\r\n"), 1) << log;

  // The stopper ends the engine, which restarts nothing after that.
  stage.stopEngines();
  EXPECT_FALSE(stage.engines.front().running());
}

TEST(Engine, WatchesAnItemAddedWhileItRuns) {
  EngineStage stage;
  const auto path = stage.addProgram("added.exe");
  auto added = e2e::Process::start(path);
  stage.writeItems({});
  stage.writeSettings(e2e::restartAndLog("0"));
  auto& engine = stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started: watching 0 items")) << stage.log();

  // The utility rewrites the file in place.
  stage.writeItems({"added.exe|" + path});
  ASSERT_TRUE(stage.waitForLog("processes.ob read again: watching 1 item", 5s)) << stage.log();
  added.kill();
  ASSERT_TRUE(waitForInstance("added.exe", added.id(), 5s)) << stage.log();
  EXPECT_TRUE(stage.waitForLog("added.exe stopped; restart in 0 s")) << stage.log();
  EXPECT_TRUE(engine.running());
}

TEST(Engine, SlowsDownTheRestartsOfAProgramThatDiesAtOnce) {
  EngineStage stage;
  const auto path = stage.addProgram("quickdeath.exe");
  stage.writeItems({"quickdeath.exe|" + path});
  stage.writeSettings(e2e::restartAndLog("0"));
  stage.startEngine();

  const std::string second = "restart in 10 s (delay 0 s + pause 10 s after quick stops)";
  ASSERT_TRUE(stage.waitForLog(second, 15s)) << stage.log();
  const std::string log = stage.log();
  const std::string firstPause = "stopped 0 s after its restart; restart in 5 s (delay 0 s + pause 5 s after quick stops)";
  ASSERT_NE(log.find(firstPause), std::string::npos) << log;
  EXPECT_EQ(stage.logCount("quickdeath.exe restarted"), 2) << log;
  const int paused = stampOf(log, firstPause), restarted = stampOf(log.substr(log.find(firstPause)), "restarted");
  EXPECT_GE(restarted - paused, 4) << log;
  EXPECT_LE(restarted - paused, 7) << log;
}

// One engine holds the restart duty; the second takes it over when the first
// is gone.
TEST(Engine, OnlyOneEngineRestartsAndAnotherTakesOver) {
  EngineStage stage;
  const auto path = stage.addProgram("shared.exe");
  auto shared = e2e::Process::start(path);
  stage.writeItems({"shared.exe|" + path});
  stage.writeSettings(e2e::restartAndLog("0"));
  auto& first = stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started: watching 1 item")) << stage.log();
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started while another engine has the restart duty: watching 1 item"))
      << stage.log();

  first.kill();
  ASSERT_TRUE(stage.waitForLog("restart duty taken over: watching 1 item")) << stage.log();
  shared.kill();
  ASSERT_TRUE(waitForInstance("shared.exe", shared.id(), 5s)) << stage.log();
  ASSERT_TRUE(stage.waitForLog("shared.exe restarted", 5s)) << stage.log();
  EXPECT_EQ(e2e::instancesOf("shared.exe").size(), 1u);
  EXPECT_EQ(stage.logCount("shared.exe restarted"), 1) << stage.log();
}

// ---- A service -----------------------------------------------------------------

constexpr char kServiceKey[] = "BrennixWatchedTest";
constexpr char kServiceDisplay[] = "Brennix Watched Test";

DWORD serviceState(SERVICE_STATUS_PROCESS* out = nullptr) {
  win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  win::unique_schandle service(OpenServiceA(manager.get(), kServiceKey, SERVICE_QUERY_STATUS));
  SERVICE_STATUS_PROCESS s{};
  DWORD needed = 0;
  QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&s), sizeof s, &needed);
  if (out) *out = s;
  return s.dwCurrentState;
}

// A service of the test's own, removed at the end.
struct TestService {
  explicit TestService(const std::string& program) {
    win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    remove();
    win::unique_schandle created(CreateServiceA(manager.get(), kServiceKey, kServiceDisplay, SERVICE_QUERY_STATUS,
                                                SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                SERVICE_ERROR_NORMAL, ("\"" + program + "\"").c_str(), nullptr,
                                                nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(created) << GetLastError();
  }
  ~TestService() { remove(); }
  static bool start() {
    win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    win::unique_schandle service(OpenServiceA(manager.get(), kServiceKey, SERVICE_START));
    return StartServiceA(service.get(), 0, nullptr);
  }
  static void remove() {
    win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    win::unique_schandle service(OpenServiceA(manager.get(), kServiceKey, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    SERVICE_STATUS s;
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &s))
      e2e::waitUntil([] { return serviceState() == SERVICE_STOPPED; });
    if (DeleteService(service.get())) e2e::waitUntil([] { return serviceState() == 0; });
  }
};

// The service is one of our engines: it holds the restart duty until net stop
// ends it, and the engine program takes the duty over and starts it again.
TEST(Engine, StartsAStoppedServiceAgain) {
  EngineStage stage;
  TestService service(stage.file("BrennixMonitorsrv.exe"));
  // The engine program ends first, or it would start the service again while
  // it is being removed; the folder goes last.
  struct StopEnginesFirst {
    EngineStage& stage;
    ~StopEnginesFirst() { stage.stopEngines(); }
  } stopEnginesFirst{stage};
  stage.writeItems({std::string(kServiceDisplay) + "|[Windows Service]"});
  stage.writeSettings(e2e::restartAndLog("1"));
  ASSERT_TRUE(service.start());
  SERVICE_STATUS_PROCESS before{};
  ASSERT_TRUE(e2e::waitUntil([&] { return serviceState(&before) == SERVICE_RUNNING; }));
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started: watching 1 item")) << stage.log();

  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  auto net = e2e::Process::start(std::string(system) + "\\net.exe", std::string("stop ") + kServiceKey);
  ASSERT_TRUE(net.waitForExit(20s));
  EXPECT_EQ(net.exitCode(), 0u);

  SERVICE_STATUS_PROCESS after{};
  ASSERT_TRUE(e2e::waitUntil(
      [&] { return serviceState(&after) == SERVICE_RUNNING && after.dwProcessId != before.dwProcessId; }, 10s))
      << stage.log();
  ASSERT_TRUE(stage.waitForLog(std::string(kServiceDisplay) + " restarted")) << stage.log();
  const std::string log = stage.log();
  EXPECT_NE(log.find("restart duty taken over: watching 1 item"), std::string::npos) << log;
  EXPECT_NE(log.find(std::string(kServiceDisplay) + " is not running; restart in 1 s"), std::string::npos) << log;
}

}  // namespace

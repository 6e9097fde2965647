// The engine program at work under Wine: it restarts killed programs and a
// stopped service, picks up an edited item list, slows down a program that
// dies at once, and shares the restart duty with a second engine.
#include <gtest/gtest.h>

#include "e2e/engine_stage.h"
#include "support/mail_server.h"
#include "win/services.h"

namespace {

using namespace std::chrono_literals;
using e2e::EngineStage;

bool waitForInstance(const std::string& image, DWORD other) {
  return e2e::waitUntil([&] {
    auto ids = e2e::instancesOf(image);
    return ids.size() == 1 && ids.front() != other;
  });
}

// Kills the process and expects its item to run again after 1 s.
void killAndExpectRestart(e2e::Process& process, const std::string& image) {
  process.kill();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(waitForInstance(image, process.id())) << image;
  EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms) << image;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << image;
}

TEST(Engine, RestartsKilledProgramsReadsAnEditedListAndHandsTheDutyOver) {
  EngineStage stage;
  const auto path = stage.addProgram("worker.exe"), addedPath = stage.addProgram("added.exe");
  auto worker = e2e::Process::start(path), second = e2e::Process::start(path);
  auto added = e2e::Process::start(addedPath);
  stage.writeItems({"Worker.EXE|" + path});
  auto settings = e2e::restartAndLog(" 1 ");
  settings.sendEmail = formats::Slot::text("1");
  settings.emailAddresses = formats::Slot::text("ops@example.org");
  settings.smtpServer = formats::Slot::text(support::mailServer("closed"));
  stage.writeSettings(settings);
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started: watching 1 item\r\n")) << stage.log();
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started while another engine has the restart duty")) << stage.log();

  // One of two instances ends: the item still runs. The engine reads the
  // list, rewritten in place with a new item, only after it saw that end.
  second.kill();
  stage.writeItems({"Worker.EXE|" + path, "added.exe|" + addedPath});
  ASSERT_TRUE(stage.waitForLog("processes.ob read again: watching 2 items\r\n")) << stage.log();
  EXPECT_EQ(stage.log().find("stopped"), std::string::npos) << stage.log();
  killAndExpectRestart(worker, "worker.exe");

  // The first engine goes; the second takes the duty over.
  stage.engines.front().kill();
  ASSERT_TRUE(stage.waitForLog("restart duty taken over: watching 2 items")) << stage.log();
  killAndExpectRestart(added, "added.exe");
  ASSERT_TRUE(e2e::waitUntil([&] { return stage.logCount(" restarted\r\n") == 2; })) << stage.log();
  for (const char* line : {" - Worker.EXE stopped; restart in 1 s\r\n", " - added.exe stopped; restart in 1 s\r\n",
                           " - e-mail about added.exe to ops@example.org failed: "})
    EXPECT_NE(stage.log().find(line), std::string::npos) << line << stage.log();

  stage.stopEngines();
  EXPECT_FALSE(stage.engines.back().running());
}

// Stopped for 8 s: the e-mail at the stop and every 3 s (0.05 minutes),
// with the placeholders filled in; none once the program runs again.
TEST(Engine, EmailsAStopAndRepeatsItWhileTheProgramStaysDown) {
  EngineStage stage;
  const auto path = stage.addProgram("mailed.exe");
  auto mailed = e2e::Process::start(path);
  stage.writeItems({"mailed.exe|" + path});
  auto settings = e2e::restartAndLog("8");
  const std::string token = "stop-" + std::to_string(GetCurrentProcessId());
  settings.sendEmail = settings.repeatEmail = formats::Slot::number(1);
  settings.repeatMinutes = formats::Slot::text("0.05");
  settings.emailAddresses = formats::Slot::text("ops@example.org");
  const std::string server = support::mailServer("plain");
  settings.smtpServer = formats::Slot::text(server.substr(0, server.find(':')));
  settings.smtpPort = formats::Slot::text(server.substr(server.find(':') + 1));
  settings.fromAddress = formats::Slot::text("engine@brennix.test");
  settings.subject = formats::Slot::text(token + " %process%");
  settings.message = formats::Slot::text("%process% stopped at %time%%20bye");
  stage.writeSettings(settings);
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started: watching 1 item\r\n")) << stage.log();
  mailed.kill();
  ASSERT_TRUE(stage.waitForLog("mailed.exe restarted", 15s)) << stage.log();
  e2e::pumpFor(4s);
  const auto got = support::receivedMail(token);
  EXPECT_EQ(got.size(), 3u) << stage.log();
  for (const auto& mail : got) {
    EXPECT_NE(mail.find("mailed.exe stopped at "), std::string::npos) << mail;
    EXPECT_NE(mail.find("\r\nbye"), std::string::npos) << mail;
    EXPECT_NE(mail.find("Subject: " + token + " %process%"), std::string::npos) << mail;
  }
  EXPECT_EQ(stage.logCount("e-mail about mailed.exe sent to ops@example.org"), static_cast<int>(got.size()))
      << stage.log();
}

TEST(Engine, SlowsDownTheRestartsOfAProgramThatDiesAtOnce) {
  EngineStage stage;
  const auto path = stage.addProgram("quickdeath.exe");
  stage.writeItems({"quickdeath.exe|" + path});
  stage.writeSettings(e2e::restartAndLog("0"));
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("restart in 10 s (delay 0 s + pause 10 s after quick stops)", 15s)) << stage.log();
  EXPECT_EQ(stage.logCount("quickdeath.exe restarted"), 2) << stage.log();
  EXPECT_EQ(stage.logCount("stopped 0 s after its restart; restart in 5 s (delay 0 s + pause 5 s after quick stops)"),
            1)
      << stage.log();
}

// A service of the test's own; the engine service's program under another
// name. It is one of our engines: it holds the restart duty until net stop
// ends it, and the engine program takes the duty over and starts it again.
TEST(Engine, StartsAStoppedServiceAgain) {
  const std::string name = "BrennixWatchedTest";
  EngineStage stage;
  auto run = [&](const std::string& program, const std::string& arguments) {
    auto p = e2e::Process::start(program, arguments);
    EXPECT_TRUE(p.waitForExit(20s)) << program << " " << arguments;
    return p.exitCode();
  };
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string net = std::string(system) + "\\net.exe", nssm = stage.file("nssm.exe");
  auto state = [&] { return win::serviceStateText(win::listServices(), name); };
  struct Cleanup {  // the engine program first, or it would start the service again
    std::function<void()> work;
    ~Cleanup() { work(); }
  } cleanup{[&] {
    stage.stopEngines();
    run(net, "stop " + name);
    run(nssm, "remove " + name + " confirm");
  }};
  run(nssm, "remove " + name + " confirm");  // left by a run that failed
  ASSERT_EQ(run(nssm, "install " + name + " \"" + stage.file("BrennixMonitorsrv.exe") + "\""), 0u);
  stage.writeItems({name + "|[Windows Service]"});
  stage.writeSettings(e2e::restartAndLog("1"));
  ASSERT_EQ(run(net, "start " + name), 0u);
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started while another engine has the restart duty")) << stage.log();

  ASSERT_EQ(run(net, "stop " + name), 0u);
  ASSERT_TRUE(stage.waitForLog(name + " restarted")) << stage.log();
  EXPECT_TRUE(e2e::waitUntil([&] { return state() == "Running"; })) << state();
  EXPECT_NE(stage.log().find("restart duty taken over: watching 1 item"), std::string::npos) << stage.log();
  EXPECT_NE(stage.log().find(name + " is not running; restart in 1 s"), std::string::npos) << stage.log();
}

}  // namespace

// The engine program under Wine: restarts of killed programs and a stopped service, an
// edited item list, the restart duty shared, stop e-mails, pauses for quick deaths.
#include <gtest/gtest.h>
#include <memory>

#include "e2e/engine_stage.h"
#include "support/mail_server.h"
#include "win/services.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using formats::Slot;

// Kills the process and expects its program to run again after the 1 s delay.
void killAndExpectRestart(e2e::Process& process, const std::string& image) {
  process.kill();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(e2e::waitUntil([&] { return e2e::processesNamed(image) == 1; })) << image;
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(took >= 900ms && took < 3s) << image << " after " << (took / 1ms) << " ms";
}

TEST(Engine, RestartsKilledProgramsReadsAnEditedListAndHandsTheDutyOver) {
  e2e::EngineStage stage;
  const auto path = stage.addProgram("worker.exe"), addedPath = stage.addProgram("added.exe");
  auto worker = e2e::Process::start(path), second = e2e::Process::start(path),
       added = e2e::Process::start(addedPath);
  stage.writeItems({"Worker.EXE|" + path});
  stage.writeSettings(" 1 ");
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
  for (const char* line : {" - Worker.EXE stopped; restart in 1 s\r\n", " - Worker.EXE restarted\r\n",
                           " - added.exe stopped; restart in 1 s\r\n", " - added.exe restarted\r\n"})
    EXPECT_TRUE(stage.waitForLog(line)) << line << stage.log();
  EXPECT_EQ(stage.logCount(" restarted\r\n"), 2) << "only the engine with the duty restarts\n" << stage.log();

  stage.stopEngines();
  EXPECT_FALSE(stage.engines.back().running());
}

// Down for 8 s: e-mails at the stop and every 3 s (0.05 minutes), none once it runs again.
TEST(Engine, EmailsAStopAndRepeatsItWhileTheProgramStaysDown) {
  e2e::EngineStage stage;
  const auto path = stage.addProgram("mailed.exe");
  auto mailed = e2e::Process::start(path);
  stage.writeItems({"mailed.exe|" + path});
  const std::string token = "stop-" + std::to_string(GetCurrentProcessId()),
                    server = support::mailServer("plain");
  stage.writeSettings("8", [&](formats::Settings& s) {
    s.sendEmail = s.repeatEmail = Slot::number(1);
    s.repeatMinutes = Slot::text("0.05");
    s.emailAddresses = Slot::text("ops@example.org");
    s.smtpServer = Slot::text(server.substr(0, server.find(':')));
    s.smtpPort = Slot::text(server.substr(server.find(':') + 1));
    s.fromAddress = Slot::text("engine@brennix.test");
    s.subject = Slot::text(token + " %process%");
    s.message = Slot::text("%process% stopped at %time%%20bye");
  });
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started: watching 1 item\r\n")) << stage.log();
  mailed.kill();
  ASSERT_TRUE(stage.waitForLog("mailed.exe restarted", 15s)) << stage.log();
  // Running again: no e-mail for longer than the interval.
  EXPECT_FALSE(e2e::waitUntil([&] { return support::receivedMail(token).size() > 3; }, 4s));
  const auto got = support::receivedMail(token);
  EXPECT_EQ(got.size(), 3u) << stage.log();
  for (const auto& mail : got)
    for (const auto& piece : {"mailed.exe stopped at "s, "\r\nbye"s, "Subject: " + token + " %process%"})
      EXPECT_NE(mail.find(piece), std::string::npos) << piece << "\n" << mail;
  EXPECT_EQ(stage.logCount("e-mail about mailed.exe sent to ops@example.org"), 3) << stage.log();
}

TEST(Engine, SlowsDownTheRestartsOfAProgramThatDiesAtOnce) {
  e2e::EngineStage stage;
  stage.writeItems({"quickdeath.exe|" + stage.addProgram("quickdeath.exe")});
  stage.writeSettings("0");
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("restart in 10 s (delay 0 s + pause 10 s after quick stops)", 15s))
      << stage.log();
  EXPECT_EQ(stage.logCount("quickdeath.exe restarted"), 2) << stage.log();
  EXPECT_EQ(stage.logCount("after its restart; restart in 5 s (delay 0 s + pause 5 s after quick"), 1)
      << stage.log();
}

// A service of the test's own runs the engine service's program: it holds the restart duty
// until net stop ends it; the engine program takes the duty over and starts it again.
TEST(Engine, StartsAStoppedServiceAgain) {
  e2e::EngineStage stage;
  const std::string name = "BrennixWatchedTest", nssm = "\"" + stage.file("nssm.exe") + "\" ";
  std::shared_ptr<void> cleanup(nullptr,
                                [&](void*) {  // the engine first, or it would start the service again
                                  stage.stopEngines();
                                  e2e::run("net.exe stop " + name);
                                  e2e::run(nssm + "remove " + name + " confirm");
                                });
  e2e::run(nssm + "remove " + name + " confirm");  // left by a run that failed
  ASSERT_EQ(e2e::run(nssm + "install " + name + " \"" + stage.file("BrennixMonitorsrv.exe") + "\""), 0u);
  stage.writeItems({name + "|[Windows Service]"});
  stage.writeSettings("1");
  ASSERT_EQ(e2e::run("net.exe start " + name), 0u);
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started while another engine has the restart duty")) << stage.log();

  ASSERT_EQ(e2e::run("net.exe stop " + name), 0u);
  ASSERT_TRUE(stage.waitForLog(name + " restarted")) << stage.log();
  EXPECT_TRUE(e2e::waitUntil([&] { return win::serviceStateText(win::listServices(), name) == "Running"; }));
  EXPECT_NE(stage.log().find(name + " is not running; restart in 1 s"), std::string::npos) << stage.log();
}

}  // namespace

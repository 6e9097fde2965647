// The checks of monitor.ini in the engine program under Wine: a window that stops answering, a program
// over its memory limit once its section is added while the engine runs, a program over its CPU limit
// that is only reported, and a file whose bad lines are logged while the rest applies.
#include <cstdio>
#include <gtest/gtest.h>
#include <regex>

#include "e2e/engine_stage.h"
#include "support/mail_server.h"

namespace {

using namespace std::chrono_literals;
using formats::Slot;
using Clock = std::chrono::steady_clock;

TEST(Limits, EndsAHungWindowAndAProgramOverItsMemoryAndReportsOneOverItsCpu) {
  e2e::EngineStage stage;
  const auto hang = stage.addProgram("hang.exe"), hog = stage.addProgram("hog.exe"),
             spin = stage.addProgram("spin.exe");
  auto hanging = e2e::Process::start(hang), spinning = e2e::Process::start(spin),
       hogging = e2e::Process::start(hog);
  const std::string token =
      "limits-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64());
  stage.writeItems({"hang.exe|" + hang, "hog.exe|" + hog, "spin.exe|" + spin});
  stage.writeSettings("1", [&](formats::Settings& s) {
    const std::string address = support::mailServer("plain");
    s.sendEmail = Slot::number(1);
    s.emailAddresses = Slot::text("ops@example.org");
    s.smtpServer = Slot::text(address.substr(0, address.find(':')));
    s.smtpPort = Slot::text(address.substr(address.find(':') + 1));
    s.fromAddress = Slot::text("engine@brennix.test");
    s.subject = Slot::text(token);
    s.message = Slot::text("%process% %reason% at %time%");
  });
  const std::string ini =
      "[Defaults]\r\nLimitSeconds = 2 ; short for the test\r\n\r\n[HANG.exe]\r\nNotRespondingSeconds=3\r\n"
      "[spin.exe]\r\nCpuLimitPercent=3\r\nLimitAction=alert\r\nMemoryLimit=5\r\n[gone.exe]\r\n";
  stage.write("monitor.ini", ini);
  stage.startEngine();
  ASSERT_TRUE(stage.waitForLog("engine started (program): watching 3 items")) << stage.log();
  for (const char* line : {" - monitor.ini line 9: unknown key \"MemoryLimit\"\r\n",
                           " - monitor.ini line 10: [gone.exe] names no item of processes.ob\r\n"})
    EXPECT_TRUE(stage.waitForLog(line)) << line << stage.log();

  // A window that stops answering: ended after 3 s, and restarted.
  stage.write("hang.exe.freeze", "");
  const auto hangMs = stage.msFromOverToEnd(hanging.handle(), "hang.exe");
  std::printf("hang.exe ended %lld ms after its window stopped answering (setting 3 s)\n", hangMs);
  EXPECT_TRUE(hangMs >= 2900 && hangMs < 6000) << hangMs << "\n" << stage.log();
  // The line gives how long the window went unanswered, in whole seconds: the setting or a little more.
  EXPECT_TRUE(stage.waitForLog(" - hang.exe restarted (program)\r\n")) << stage.log();
  EXPECT_TRUE(std::regex_search(
      stage.log(), std::regex(" - hang\\.exe not responding for [345] s: ended; restart in 1 s\r\n")))
      << stage.log();

  // Over its CPU limit with "alert": one log line and one e-mail while the excursion lasts; it runs on.
  ASSERT_TRUE(stage.waitForLog("% above 3% for 2 s): alert only\r\n")) << stage.log();
  EXPECT_NE(stage.log().find(" - spin.exe over its CPU limit ("), std::string::npos) << stage.log();
  auto mails = support::receivedMail(token, 2);
  const auto mailed = [&](const std::string& text) {
    return std::count_if(mails.begin(), mails.end(),
                         [&](const auto& m) { return m.find(text) != std::string::npos; });
  };
  EXPECT_EQ(mailed("spin.exe over its CPU limit at "), 1) << stage.log();
  EXPECT_EQ(mailed("hang.exe not responding at "), 1) << stage.log();

  // A program over its memory limit is left alone until its section is added while the engine runs.
  ASSERT_TRUE(e2e::waitUntil([&] { return stage.exists("hog.exe.over"); }));
  EXPECT_FALSE(hogging.waitForExit(1s));
  stage.write("monitor.ini", ini + "[hog.exe]\r\nMemoryLimitMB=50\r\n");
  const auto hogMs = stage.msFromOverToEnd(hogging.handle(), "hog.exe");
  EXPECT_GT(hogMs, 5000) << "ended only once its section applied";
  EXPECT_TRUE(stage.waitForLog("MB above 50 MB for 2 s): ended; restart in 1 s\r\n")) << stage.log();
  EXPECT_NE(stage.log().find(" - hog.exe over its memory limit ("), std::string::npos) << stage.log();
  EXPECT_TRUE(stage.waitForLog(" - hog.exe restarted (program)\r\n")) << stage.log();

  // The spin has gone on for more than twice its LimitSeconds: still one alert and one e-mail.
  EXPECT_TRUE(spinning.running());
  EXPECT_EQ(stage.logCount("spin.exe over its CPU limit"), 1) << stage.log();
  mails = support::receivedMail(token, 3);
  EXPECT_EQ(mailed("spin.exe over its CPU limit at "), 1) << stage.log();
  EXPECT_EQ(mailed("hog.exe over its memory limit at "), 1) << stage.log();
  EXPECT_EQ(stage.logCount("engine started"), 1) << stage.log();
  EXPECT_EQ(stage.logCount("[gone.exe] names no item"), 1) << "once while it names none\n" << stage.log();
}

}  // namespace

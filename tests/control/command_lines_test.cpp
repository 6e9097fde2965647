// What the utility hands the engine programs and the command interpreter: the command lines,
// the service batch files byte for byte, and the installer's binary path.
#include <gtest/gtest.h>

#include "control/engine_programs.h"
#include "control/service_batch.h"
#include "control/service_tool.h"

namespace {

TEST(EngineCommandLines, AreTheFolderAndTheProgramNameUnquoted) {
  const std::string folder = "C:\\Program Files\\Brennix";
  EXPECT_EQ(control::engineFromStartButton(folder).commandLine, folder + "\\BrennixMonitor.exe");
  EXPECT_EQ(control::stopperFromStopButton(folder).commandLine, folder + "\\shutdownBrennixMonitor.exe");
  EXPECT_EQ(control::stopperFromShutDown(folder).commandLine, folder + "\\shutdownBrennixMonitor.exe ");
  EXPECT_EQ(control::stopperFromShutDown(folder).program, folder + "\\shutdownBrennixMonitor.exe");
}

TEST(ServiceBatchFiles, AreTheFiveLinesWithEveryPercentOfTheFolderDoubled) {
  struct Case {
    std::string folder, quoted;  // the folder, and as its batch lines show it
  } cases[] = {{"C:\\Brennix", "C:\\Brennix"},
               {"D:\\Program Files\\A & B <x>|y\\100%Tools%x\\%%",
                "D:\\Program Files\\A & B <x>|y\\100%%Tools%%x\\%%%%"}};
  for (const auto& c : cases) {
    const std::string cd = "cls\r\ncd\\\r\ncd \"" + c.quoted + "\"\r\n";
    EXPECT_EQ(control::installServiceBatch(c.folder), cd + "nssm.exe install BrennixMonitor \"" + c.quoted +
                                                          "\\BrennixMonitorsrv.exe\"\r\n"
                                                          "net start BrennixMonitor\r\n");
    EXPECT_EQ(control::uninstallServiceBatch(c.folder),
              cd + "net stop BrennixMonitor\r\nnssm.exe remove BrennixMonitor confirm\r\n");
  }
}

TEST(ServiceBinaryPath, IsQuotedOnlyWhenTheProgramHoldsBlanks) {
  EXPECT_EQ(control::serviceBinaryPath("C:\\Brennix\\srv.exe"), "C:\\Brennix\\srv.exe");
  EXPECT_EQ(control::serviceBinaryPath("C:\\A B\\srv.exe"), "\"C:\\A B\\srv.exe\"");
}

}  // namespace

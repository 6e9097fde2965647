// The engine service under Wine: installed and removed by the batch files of an awkward folder.
#include <gtest/gtest.h>

#include "base/text.h"
#include "control/engine_programs.h"
#include "control/service_batch.h"
#include "e2e/engine_stage.h"

namespace {

TEST(ServiceBatchFiles, InstallStartAndRemoveTheServiceOfAFolderWithBlanksAmpersandAndPercent) {
  e2e::TempFolder app("Brennix 100%Tools%x&y");
  e2e::EngineServiceRemover remover;  // goes first, so that the folder's programs can be deleted
  const std::string program(control::kServiceProgram);
  const std::string& folder = app.path();
  for (const std::string& file : {program, std::string(control::kServiceTool)})
    ASSERT_TRUE(CopyFileA((e2e::builtAppFolder() + "\\" + file).c_str(), app.file(file).c_str(), FALSE));
  app.write(std::string(control::kInstallBatch), control::installServiceBatch(folder));
  app.write(std::string(control::kUninstallBatch), control::uninstallServiceBatch(folder));

  // Files that take the engine a while to read: the service runs even so once "net start" returns.
  std::string items = " \r\n";
  items.resize(20'000'000, 'x');
  app.write("processes.ob", items);

  // The batch goes to the root first: nssm.exe is found only if its cd reaches the folder.
  e2e::run("cmd.exe /c installservice.bat >out.txt 2>&1", folder);
  EXPECT_EQ(e2e::engineServiceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  ASSERT_TRUE(e2e::engineServiceReaches(SERVICE_RUNNING)) << app.read("out.txt");
  const std::string image = e2e::imageOf(e2e::engineServiceStatus().dwProcessId);
  EXPECT_TRUE(base::equalsIgnoringCase(image, app.file(program))) << image;

  EXPECT_EQ(e2e::run("cmd.exe /c uninstallservice.bat >out.txt 2>&1", folder), 0u) << app.read("out.txt");
  EXPECT_TRUE(e2e::engineServiceReaches(0)) << app.read("out.txt");

  // Any other command line gets the usage; the service program refuses to
  // run outside the Service Control Manager instead of waiting for ever.
  EXPECT_NE(e2e::run("cmd.exe /c nssm.exe remove BrennixMonitor 2>out.txt", folder), 0u);
  EXPECT_NE(app.read("out.txt").find("nssm.exe - Brennix Monitor service installer"), std::string::npos);
  EXPECT_NE(e2e::run("cmd.exe /c " + program, folder), 0u);
}

}  // namespace

// The engine service against Wine's Service Control Manager: installed by the
// batch file from a folder with an awkward name and removed by the
// uninstall batch; the installer's refusals.
#include <gtest/gtest.h>

#include "base/text.h"
#include "control/service_batch.h"
#include "e2e/driver.h"
#include "win/registry.h"
#include "control/engine_programs.h"

namespace {

const std::string kProgram(control::kServiceProgram);

// Runs a command line hidden, in `folder`, and gives its exit code.
DWORD run(std::string commandLine, const std::string& folder) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder.c_str(),
                 &si, &pi);
  win::unique_handle process(pi.hProcess), thread(pi.hThread);
  EXPECT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0) << commandLine << " did not end";
  DWORD exitCode = 0;
  GetExitCodeProcess(process.get(), &exitCode);
  return exitCode;
}

SERVICE_STATUS_PROCESS status() { return e2e::engineServiceStatus(); }
bool reaches(DWORD state) { return e2e::engineServiceReaches(state); }

std::string registryValue(const std::string& value) {
  return win::readRegistryValue(HKEY_LOCAL_MACHINE, std::string(control::kServiceKey), value).text();
}

TEST(ServiceBatchFiles, InstallStartStopAndRemoveTheServiceOfAFolderWithBlanksAmpersandAndPercent) {
  e2e::TempFolder app("Brennix 100%Tools%x&y");
  e2e::EngineServiceRemover remover;  // goes first, so that the folder's programs can be deleted
  for (std::string file : {kProgram, std::string(control::kServiceTool)})
    ASSERT_TRUE(CopyFileA((e2e::builtAppFolder() + "\\" + file).c_str(), app.file(file).c_str(), FALSE));
  app.write(std::string(control::kInstallBatch), control::installServiceBatch(app.path()));
  app.write(std::string(control::kUninstallBatch), control::uninstallServiceBatch(app.path()));

  // The batch goes to the root first: nssm.exe is found only if its cd
  // reaches the folder.
  run("cmd.exe /c installservice.bat >out.txt 2>&1", app.path());
  ASSERT_TRUE(reaches(SERVICE_RUNNING)) << app.read("out.txt");
  EXPECT_EQ(registryValue("Type"), "16") << "own process";
  EXPECT_EQ(registryValue("Start"), "2") << "started with the system";
  EXPECT_EQ(registryValue("DisplayName"), control::kServiceName);
  const DWORD firstProcess = status().dwProcessId;
  EXPECT_TRUE(base::equalsIgnoringCase(e2e::imageOf(firstProcess), app.file(kProgram))) << e2e::imageOf(firstProcess);

  EXPECT_EQ(run("cmd.exe /c uninstallservice.bat >out.txt 2>&1", app.path()), 0u) << app.read("out.txt");
  EXPECT_TRUE(reaches(0)) << app.read("out.txt");
  EXPECT_EQ(registryValue("Type"), "");
  EXPECT_NE(run("cmd.exe /c nssm.exe remove BrennixMonitor confirm 2>out.txt", app.path()), 0u);
  EXPECT_NE(app.read("out.txt").find("(error 1060)"), std::string::npos) << app.read("out.txt");  // no such service

  // Any other command line gets the usage; the service program refuses to
  // run outside the Service Control Manager instead of waiting for ever.
  EXPECT_NE(run("cmd.exe /c nssm.exe remove BrennixMonitor 2>out.txt", app.path()), 0u);
  EXPECT_NE(app.read("out.txt").find("nssm.exe - Brennix Monitor service installer"), std::string::npos);
  EXPECT_NE(run("cmd.exe /c " + kProgram, app.path()), 0u);
}

}  // namespace

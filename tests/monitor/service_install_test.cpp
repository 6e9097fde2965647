// The engine service under Wine: installed and removed by the batch files of an awkward folder, with
// its event source; the message table of both engine programs.
#include <gtest/gtest.h>

#include "base/text.h"
#include "control/engine_programs.h"
#include "control/service_batch.h"
#include "e2e/engine_stage.h"
#include "monitor/engine_event.h"
#include "win/event_log.h"
#include "win/registry.h"

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
  const std::string source = win::eventSourceKey(std::string(control::kEventSource));
  EXPECT_EQ(win::readRegistryValue(HKEY_LOCAL_MACHINE, source, "EventMessageFile").text(), app.file(program));
  EXPECT_EQ(win::readRegistryValue(HKEY_LOCAL_MACHINE, source, "TypesSupported").number(), 7);

  EXPECT_EQ(e2e::run("cmd.exe /c uninstallservice.bat >out.txt 2>&1", folder), 0u) << app.read("out.txt");
  EXPECT_TRUE(e2e::engineServiceReaches(0)) << app.read("out.txt");
  EXPECT_TRUE(win::readRegistryValue(HKEY_LOCAL_MACHINE, source, "TypesSupported").empty());

  // Any other command line gets the usage; the service program refuses to
  // run outside the Service Control Manager instead of waiting for ever.
  EXPECT_NE(e2e::run("cmd.exe /c nssm.exe remove BrennixMonitor 2>out.txt", folder), 0u);
  EXPECT_NE(app.read("out.txt").find("nssm.exe - Brennix Monitor service installer"), std::string::npos);
  EXPECT_NE(e2e::run("cmd.exe /c " + program, folder), 0u);
}

TEST(EventMessages, BothEnginesHoldTheTextOfEveryEventWithItsInsertionStrings) {
  for (const auto program : {control::kEngineProgram, control::kServiceProgram}) {
    const std::string path = e2e::builtAppFolder() + "\\" + std::string(program);
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module) << path;
    const char* strings[] = {"worker.exe stopped; restart in 1 s", "worker.exe", "2026-12-06 10:00:00",
                             "service"};
    for (const auto id : monitor::kAllEventIds) {
      char text[1024] = "";
      const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module,
                                     static_cast<DWORD>(id), 0, text, sizeof text,
                                     reinterpret_cast<va_list*>(const_cast<char**>(strings)));
      const std::string message(text, n);
      EXPECT_NE(message.find(strings[0]), std::string::npos) << program << " " << static_cast<int>(id);
      EXPECT_NE(message.find("Engine: service"), std::string::npos) << message;
    }
    FreeLibrary(module);
  }
}

}  // namespace

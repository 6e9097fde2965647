#include "control/engine_control.h"

#include <cerrno>
#include <cstdio>

#include "base/text_file.h"
#include "control/engine_programs.h"
#include "control/service_batch.h"
#include "win/process_launch.h"
#include "win/registry.h"
#include "win/run_and_wait.h"
#include "win/services.h"
#include "win/wmi_processes.h"

namespace control {
namespace {

// How long Start waits at most for a service that is still starting.
constexpr DWORD kServiceStartWaitMs = 5000;

void writeFile(const std::string& path, const std::string& bytes) {
  auto f = base::openFile(path, "wb");
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size() || std::fflush(f.get()) != 0)
    base::throwFileError(path);
}

}  // namespace

std::string systemProgram(const char* name) {
  char folder[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  return (n && n < MAX_PATH ? std::string(folder, n) : std::string("C:\\Windows\\system32")) + "\\" + name;
}

bool EngineControl::engineRunning() const { return win::IsProcessRunning(std::string(kEngineProgram)); }

DWORD EngineControl::startEngine(bool fromWatchdog) const {
  return win::startProgram(fromWatchdog ? engineFromWatchdog(folder_) : engineFromStartButton(folder_));
}

void EngineControl::stopEngine() const {
  const auto stopper = stopperFromStopButton(folder_);
  win::shellAndWait(stopper.commandLine, 0, stopper.program);
}

bool EngineControl::serviceInstalled() const {
  return !win::readRegistryValue(HKEY_LOCAL_MACHINE, std::string(kServiceKey),
                                 std::string(kServiceInstalledValue))
              .text()
              .empty();
}

void EngineControl::writeServiceBatches() const {
  writeFile(programPath(folder_, kInstallBatch), installServiceBatch(folder_));
  writeFile(programPath(folder_, kUninstallBatch), uninstallServiceBatch(folder_));
}

void EngineControl::runInstallBatch() const {
  win::shellAndWait("cmd.exe /c " + std::string(kInstallBatch), 0, systemProgram("cmd.exe"), folder_);
  waitWhileStarting();  // the batch ends with "net start"
}

bool EngineControl::serviceRunning() const { return win::IsServiceRunning(std::string(kServiceName)); }

void EngineControl::startService() const {
  win::shellAndWait(netStartCommand(), 0, systemProgram("net.exe"));
  waitWhileStarting();
}

// "net start" may return while the service is still starting (Wine's does):
// a few seconds more for it to get there.
void EngineControl::waitWhileStarting() const {
  win::waitWhile([] { return win::serviceState(std::string(kServiceName)) == win::kServiceStartPending; },
                 kServiceStartWaitMs);
}

void EngineControl::stopService() const { win::shellAndWait(netStopCommand(), 0, systemProgram("net.exe")); }

}  // namespace control

#pragma once
// What the utility does to the engine: the engine program (start, stop, is it
// running) and the engine service (installed, install, start, stop, is it
// running). Nothing here shows anything; failures come back as results or as
// base::Error.
#include <windows.h>

#include <string>

namespace control {

class EngineControl {
 public:
  explicit EngineControl(std::string folder) : folder_(std::move(folder)) {}

  // A process with the engine program's image name runs (any letter case).
  // Throws base::Error when the processes cannot be asked.
  bool engineRunning() const;
  // Starts the engine program: minimised without the focus for the Start
  // button, hidden for the watchdog. 0, or the system error code.
  DWORD startEngine(bool fromWatchdog) const;
  // Runs the stopper and waits, without limit, for its end.
  void stopEngine() const;

  // The service's key holds a value "Type".
  bool serviceInstalled() const;
  // Writes installservice.bat, then uninstallservice.bat, into the folder;
  // throws base::Error when one cannot be written.
  void writeServiceBatches() const;
  // Runs installservice.bat hidden and waits for its end, and for the
  // service it starts while it is still starting (a few seconds at most). It
  // runs in the application folder, so that no part of the folder's name
  // passes through the command interpreter, whatever drive the utility
  // started on.
  void runInstallBatch() const;

  // The service is in the running state.
  bool serviceRunning() const;
  // "net start BrennixMonitor" and "net stop BrennixMonitor", hidden, waited
  // for; the start also while the service is still starting, a few seconds at
  // most.
  void startService() const;
  void stopService() const;

 private:
  void waitWhileStarting() const;

  std::string folder_;
};

// The full path of a program of the system folder (cmd.exe, net.exe).
std::string systemProgram(const char* name);

}  // namespace control

#pragma once
// A fresh application folder for the monitor engine: its two data files, and
// copies of the test program "monitored.exe" under the names the items need.
#include <deque>

#include "e2e/driver.h"
#include "formats/settings_file.h"

namespace e2e {

class EngineStage : public AppFolder {
 public:
  EngineStage() : AppFolder(true) {}
  ~EngineStage() { stopEngines(); }                       // then the folder ends what still runs from it
  std::string addProgram(const std::string& name) const;  // its path
  void writeItems(const std::vector<std::string>& items) const {  // as the utility writes them
    std::string bytes = " \r\n";
    for (const auto& item : items) bytes += item + "\r\n";
    write("processes.ob", bytes);
  }
  // Restart after `delaySeconds` and log; what else `more` sets.
  void writeSettings(const std::string& delaySeconds,
                     const std::function<void(formats::Settings&)>& more = {}) const;
  Process& startEngine() { return engines.emplace_back(Process::start(file("BrennixMonitor.exe"))); }
  void stopEngines() const {
    Process::start(file("shutdownBrennixMonitor.exe")).waitForExit(10s);
  }  // Stop button
  std::string log() const { return exists("log.text") ? read("log.text") : std::string(); }
  bool waitForLog(const std::string& text, Duration timeout = 10s) const {
    return waitUntil([&] { return log().find(text) != std::string::npos; }, timeout);
  }
  int logCount(const std::string& text) const {
    const std::string all = log();
    int n = 0;
    for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++n;
    return n;
  }

  // The milliseconds from the tick count that a test program wrote to "<name>.over" (the moment it
  // went over its limit) to the end of `process`; waits up to 15 s for the end, else -1.
  long long msFromOverToEnd(HANDLE process, const std::string& name) const;

  std::deque<Process> engines;
};

// Runs a command line without a window, in `folder` when given; its exit code.
DWORD run(std::string commandLine, const std::string& folder = "");

}  // namespace e2e

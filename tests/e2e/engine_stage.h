#pragma once
// A stage for the monitor engine: a fresh application folder with the two
// data files and copies of the test program "monitored.exe" under the names
// the items need. Ends its engines, then every copy of the test program.
#include <deque>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "formats/settings_file.h"

namespace e2e {

class EngineStage : public AppFolder {
 public:
  EngineStage() : AppFolder(true) {}
  ~EngineStage();
  std::string addProgram(const std::string& name);  // a copy of the test program; its path
  // processes.ob as the utility writes it: the blank line, then `items`.
  void writeItems(const std::vector<std::string>& items) const;
  void writeSettings(const formats::Settings& settings) const;
  Process& startEngine();
  void stopEngines();  // runs the stopper and waits for it, as the Stop button does
  std::string log() const;
  bool waitForLog(const std::string& text, Duration timeout = 10s) const;
  int logCount(const std::string& text) const;

  std::deque<Process> engines;  // references stay valid as engines are added

 private:
  std::vector<std::string> programs_;
};

// Settings that restart after `delaySeconds` and log; nothing else.
formats::Settings restartAndLog(const std::string& delaySeconds);

// The running processes of an image name, letter case ignored.
std::vector<DWORD> instancesOf(const std::string& image);

}  // namespace e2e

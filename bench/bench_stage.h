#pragma once
// What the engine benchmarks set up in their application folder: copies of
// the benchmarks' own programs, and settings that restart at once, log and
// send stop e-mails.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/engine_stage.h"
#include "support/mail_server.h"

namespace bench {

// A copy of a program of the benchmarks' folder in the stage, named `name`; its path.
inline std::string copyBenchProgram(const e2e::EngineStage& stage, const std::string& program,
                                    const std::string& name) {
  char own[MAX_PATH];
  const std::string self(own, GetModuleFileNameA(nullptr, own, MAX_PATH));
  const std::string from = self.substr(0, self.find_last_of('\\')) + "\\" + program;
  if (!CopyFileA(from.c_str(), stage.file(name).c_str(), FALSE))
    std::fprintf(stderr, "cannot copy %s\n", name.c_str());
  return stage.file(name);
}

// Restart at once, log, and e-mail each stop to the tests' mail server of this behaviour ("plain",
// "silent", "closed"), again every `repeatMinutes` while the item stays stopped.
inline void writeMailSettings(const e2e::EngineStage& stage, const std::string& server,
                              const char* repeatMinutes) {
  const std::string address = support::mailServer(server);
  stage.writeSettings("0", [&](formats::Settings& s) {
    s.sendEmail = s.repeatEmail = formats::Slot::number(1);
    s.repeatMinutes = formats::Slot::text(repeatMinutes);
    s.emailAddresses = formats::Slot::text("ops@example.org");
    s.fromAddress = formats::Slot::text("bench@brennix.test");
    s.smtpServer = formats::Slot::text(address);
    s.subject = formats::Slot::text("stop of %process%");
    s.message = formats::Slot::text("%process% stopped at %time%");
  });
}

// "<prefix>01.exe" for i = 0, and so on.
inline std::string numberedName(const char* prefix, int i) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%02d.exe", prefix, i + 1);
  return name;
}

// `count` copies of the tests' program "monitored.exe" named `prefix`01.exe on, each started; their
// lines for processes.ob are added to `items`.
inline std::vector<e2e::Process> startNumbered(const e2e::EngineStage& stage, const char* prefix, int count,
                                               std::vector<std::string>& items) {
  std::vector<e2e::Process> running;
  for (int i = 0; i < count; ++i) {
    const std::string name = numberedName(prefix, i), path = stage.addProgram(name);
    items.emplace_back(name).append("|").append(path);
    running.push_back(e2e::Process::start(path));
  }
  return running;
}

}  // namespace bench

#pragma once
// What the engine benchmarks set up in their application folder: copies of
// the benchmarks' own programs, and settings that restart at once, log and
// send stop e-mails.
#include <windows.h>

#include <cstdio>
#include <string>

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

}  // namespace bench

#include "win/run_and_wait.h"

#include <windows.h>

#include "base/wait_limit.h"
#include "win/message_pump.h"
#include "win/unique_resource.h"

namespace win {
namespace {

// How long one poll sleeps at most when nothing happens.
constexpr DWORD kPollMs = 50;

}  // namespace

void waitWhile(const std::function<bool()>& busy, DWORD limitMs) {
  constexpr DWORD kAskMs = 100;
  const ULONGLONG start = GetTickCount64();
  bool quit = false;
  int quitCode = 0;
  for (ULONGLONG asked = 0;;) {
    pumpWindowEvents(quit, quitCode);
    const ULONGLONG now = GetTickCount64();
    if (now - start >= limitMs) break;
    if (now >= asked + kAskMs) {
      if (!busy()) break;
      asked = GetTickCount64();
    }
    if (quit)
      Sleep(kPollMs);
    else
      MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
  }
  if (quit) PostQuitMessage(quitCode);
}

double timeOfDay() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}

void shellAndWait(const std::string& commandLine, int timeoutSeconds, const std::string& program,
                  const std::string& workingFolder) {
  const base::WaitLimit limit = base::makeWaitLimit(timeOfDay(), timeoutSeconds);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info{};
  std::string line = commandLine;
  if (!CreateProcessA(program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info))
    return;
  win::unique_handle started(info.hProcess);
  win::unique_handle thread(info.hThread);
  // The wait itself needs no more than the right to ask for the exit code.
  win::unique_handle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, info.dwProcessId));
  started.reset();
  thread.reset();

  bool quit = false;
  int quitCode = 0;
  for (;;) {
    DWORD code = 0;
    if (!process || !GetExitCodeProcess(process.get(), &code)) code = 0;
    pumpWindowEvents(quit, quitCode);
    if (base::limitReached(limit, timeOfDay())) break;
    if (code != STILL_ACTIVE) break;
    // Sleep until the program ends, an event arrives, or a poll is due. A
    // program that ended with code 259 is polled at the same pace.
    HANDLE handle = process.get();
    const DWORD count = WaitForSingleObject(handle, 0) == WAIT_OBJECT_0 ? 0 : 1;
    if (quit)
      count ? WaitForSingleObject(handle, kPollMs) : SleepEx(kPollMs, FALSE);
    else
      MsgWaitForMultipleObjects(count, &handle, FALSE, kPollMs, QS_ALLINPUT);
  }
  if (quit) PostQuitMessage(quitCode);
}

}  // namespace win

#include "win/process_launch.h"

#include "win/unique_resource.h"

namespace win {

DWORD startProgram(const ProgramLaunch& launch) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  switch (launch.window) {
    case WindowMode::MinimisedNoFocus:
      startup.wShowWindow = SW_SHOWMINNOACTIVE;
      break;
    case WindowMode::Hidden:
      startup.wShowWindow = SW_HIDE;
      break;
    case WindowMode::Normal:
      startup.wShowWindow = SW_SHOWNORMAL;
      break;
  }
  PROCESS_INFORMATION info{};
  std::string line = launch.commandLine;
  if (!CreateProcessA(launch.program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return GetLastError();
  win::unique_handle process(info.hProcess), thread(info.hThread);
  return 0;
}

}  // namespace win

#pragma once
// Starts a program without waiting for it.
#include <windows.h>

#include <string>

namespace win {

enum class WindowMode {
  MinimisedNoFocus,  // minimised, without taking the focus
  Hidden,
  Normal,  // normal, with the focus
};

// One start of a program: the full path to start (so that a folder with
// blanks can never make the system pick another program) and the command line
// the program sees, unquoted as the utility writes it.
struct ProgramLaunch {
  std::string program;
  std::string commandLine;
  WindowMode window;
  bool waited;  // the caller waits for its end
};

// Starts the program with its window mode. Returns 0, or the system error
// code when it could not be started.
DWORD startProgram(const ProgramLaunch& launch);

}  // namespace win

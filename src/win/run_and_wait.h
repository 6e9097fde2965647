#pragma once
// Runs a command line with its window hidden and waits for its end while the
// program's windows keep handling their events.
#include <windows.h>

#include <functional>
#include <string>

namespace win {

// Starts `commandLine` hidden and returns when it has ended, when
// `timeoutSeconds` (0: no limit) have passed on the clock, or at once when it
// cannot be started. A program that ends with exit code 259 (STILL_ACTIVE)
// counts as still running. Window events, timer ticks included, are handled
// during the wait, so any handler may run inside it.
//
// `program`, when given, is the full path of what to start: the command line
// is then only the arguments the program sees, and a folder with blanks in
// the command line cannot make the system start another program. Without it
// the system looks the program up from the command line its own way.
//
// `workingFolder`, when given, is the folder the program starts in; without
// it, the program starts in this program's current folder.
void shellAndWait(const std::string& commandLine, int timeoutSeconds, const std::string& program = {},
                  const std::string& workingFolder = {});

// Handles window events, as shellAndWait does, while `busy` answers true
// (it is asked about every tenth of a second), for at most `limitMs`.
void waitWhile(const std::function<bool()>& busy, DWORD limitMs);

// The time of day in seconds since midnight, from the local clock.
double timeOfDay();

}  // namespace win

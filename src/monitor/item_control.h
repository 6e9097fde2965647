#pragma once
// Starting a stopped item again, and the service states that count as running.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "win/unique_resource.h"

namespace monitor {

// A system error code as the log shows it: "Access is denied. (error 5)".
std::string failureText(DWORD code);

// A program item started from its stored path: its process, or the reason it
// could not be started.
struct ProgramStart {
  win::unique_handle process;
  std::optional<std::string> failure;
};

// Starts the program at `path` with that full path as the application name
// (so that blanks in it can never start another program) and its own folder
// as the working folder.
ProgramStart startProgramItem(const std::string& path);

// Asks the Service Control Manager to start the service with this display
// name (letter case ignored). Nothing on success, else the reason.
std::optional<std::string> startServiceItem(const std::string& displayName);

// A service counts as stopped when it is stopped or stopping; starting,
// running, paused and continuing ones count as running.
bool serviceCountsAsRunning(std::int32_t state);

}  // namespace monitor

#include "control/engine_programs.h"

namespace control {

std::string programPath(std::string_view folder, std::string_view program) {
  std::string path(folder);
  path += '\\';
  path += program;
  return path;
}

ProgramLaunch engineFromStartButton(std::string_view folder) {
  auto path = programPath(folder, kEngineProgram);
  return {path, path, WindowMode::MinimisedNoFocus, false};
}

ProgramLaunch engineFromWatchdog(std::string_view folder) {
  auto path = programPath(folder, kEngineProgram);
  return {path, path, WindowMode::Hidden, false};
}

ProgramLaunch stopperFromStopButton(std::string_view folder) {
  auto path = programPath(folder, kStopperProgram);
  return {path, path, WindowMode::Hidden, true};
}

ProgramLaunch stopperFromShutDown(std::string_view folder) {
  auto path = programPath(folder, kStopperProgram);
  return {path, path + " ", WindowMode::Normal, false};
}

std::string serviceInstallLine(std::string_view folder) {
  return std::string(kServiceTool) + " install " + std::string(kServiceName) + " \"" +
         programPath(folder, kServiceProgram) + "\"";
}

std::string serviceRemoveLine() {
  return std::string(kServiceTool) + " remove " + std::string(kServiceName) + " confirm";
}

std::string netStartCommand() { return "net start " + std::string(kServiceName); }
std::string netStopCommand() { return "net stop " + std::string(kServiceName); }

}  // namespace control

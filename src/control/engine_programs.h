#pragma once
// The engine programs that live beside the utility, and every command line the
// utility builds for them. Paths are the application folder followed by a
// backslash and the program's file name; no program gets arguments.
#include <string>
#include <string_view>

#include "win/process_launch.h"

namespace control {

inline constexpr std::string_view kEngineProgram = "BrennixMonitor.exe";
inline constexpr std::string_view kServiceProgram = "BrennixMonitorsrv.exe";
inline constexpr std::string_view kStopperProgram = "shutdownBrennixMonitor.exe";
inline constexpr std::string_view kServiceTool = "nssm.exe";

// The engine service: key name and display name are the same.
inline constexpr std::string_view kServiceName = "BrennixMonitor";
// Under HKEY_LOCAL_MACHINE; its value "Type" means the service is installed.
inline constexpr std::string_view kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\BrennixMonitor";
inline constexpr std::string_view kServiceInstalledValue = "Type";
// The engines' source in the Application log of the Event Log.
inline constexpr std::string_view kEventSource = "BrennixMonitor";

using win::ProgramLaunch;
using win::WindowMode;

std::string programPath(std::string_view folder, std::string_view program);

// "Start" on the engine row: the engine, minimised without focus, not waited for.
ProgramLaunch engineFromStartButton(std::string_view folder);
// The watchdog: the engine, hidden, not waited for.
ProgramLaunch engineFromWatchdog(std::string_view folder);
// "Stop" on the engine row: the stopper, hidden, waited for without limit.
ProgramLaunch stopperFromStopButton(std::string_view folder);
// The tray's "Shut Down": the stopper with one trailing blank, shown normally,
// not waited for.
ProgramLaunch stopperFromShutDown(std::string_view folder);

// The service tool's lines as they stand in the install and uninstall batch
// files. The install line names the service program by its quoted full path.
std::string serviceInstallLine(std::string_view folder);
std::string serviceRemoveLine();

// The net commands that start and stop the service by its key name.
std::string netStartCommand();
std::string netStopCommand();

}  // namespace control

#pragma once
// The two batch files that install and remove the engine service. The utility
// writes both into the application folder and runs only the first.
#include <string>
#include <string_view>

namespace control {

inline constexpr std::string_view kInstallBatch = "installservice.bat";
inline constexpr std::string_view kUninstallBatch = "uninstallservice.bat";

// A text as it must stand in a batch line to reach the command as it is.
// Inside double quotes cmd leaves "&", "|", "<" and ">" alone but still
// expands "%", so every "%" is doubled.
std::string batchLiteral(std::string_view text);

// The bytes of installservice.bat for the application folder (no trailing
// backslash): go to the folder, install the service with nssm.exe, start it.
// Every line ends with CR LF.
std::string installServiceBatch(std::string_view folder);

// The bytes of uninstallservice.bat: go to the folder, stop the service,
// remove it with nssm.exe.
std::string uninstallServiceBatch(std::string_view folder);

}  // namespace control
